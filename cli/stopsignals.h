#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdio>

class QCoreApplication;

// How every Dimra program ends from outside, the same way in each: Ctrl+C
// (SIGINT), a kill or a logout (SIGTERM) and a closed terminal (SIGHUP) end
// it as after its own way out (port drained, closed and unlocked) instead of
// where it stands. The system's handler only hands the signal to the event
// loop, which emits stopRequested.
//
// SIGPIPE is never a stop by itself: a connection that breaks (a broker's)
// is an error of the write that found it. A reader of the program's output
// that has gone (dimractl monitor | head) is found when the program writes
// through write(): the program then stops as that signal would stop it.
// On Windows the console's Ctrl+C, Ctrl+Break, close, logoff and shutdown
// stand for them (stopsignals_win.cpp).
class CStopSignals : public QObject
{
    Q_OBJECT

public:
    // The one watcher of the process, made at the first call; null when the
    // system will not hand signals over.
    static CStopSignals *watch();
    // Writes text to standard output or error at once; false when it could
    // not be written (errno says why). When the reader has gone, also asks
    // for a stop as SIGPIPE would (through the event loop).
    static bool write(FILE *stream, const QByteArray &bytes);
    // The same with text: to a console as the console takes it, elsewhere
    // as UTF-8 (consoletext.h).
    static bool write(FILE *stream, const QString &text);
    // The last stop signal the system has handed over, whether or not the
    // event loop has seen it yet, else SIGPIPE's number once write() found
    // the reader gone; 0 for none. A program that ends as it arrives (the
    // last output printed to a reader that went) still ends as stopped by it.
    static int arrived();

signals:
    // The system's number of the signal (SIGPIPE for a reader that went).
    void stopRequested(int signalNumber);

private:
    explicit CStopSignals(QObject *parent) : QObject(parent) {}
    void requestStop(int signalNumber);
    // The platform's number for a reader that has gone, and whether a
    // failed write's error says so (stopsignals_unix.cpp, _win.cpp).
    static int brokenPipe();
    static bool readerGone(int error);

    inline static CStopSignals *s_instance = nullptr; // made by watch()
    inline static std::atomic<bool> s_readerGone = false;
};

// Ends the process, once it has cleaned up, as the signal would have: its
// parent sees it ended by that signal (a shell's status 128 + n), as the
// convention is for programs that catch one.
[[noreturn]] void ExitAsStoppedBy(int signalNumber);

// The stop signals end the application's event loop (exit code 0), so that
// the program cleans up as after a normal end. False when they cannot be
// watched.
bool QuitOnStopSignals(QCoreApplication *app);

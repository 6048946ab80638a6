#pragma once

#include <QObject>

#include <initializer_list>

class QCoreApplication;

// The signals that end a program from outside: Ctrl+C, a kill or a logout,
// a closed terminal, and standard output piped into a reader that has gone.
enum class StopSignal { Interrupt, Terminate, HangUp, BrokenPipe };

// Hands stop signals to the event loop, so that a program ends as after its
// own way out (port drained, closed and unlocked) instead of dying where it
// stands. The system's handler only writes the signal to a pipe; the loop
// reads it and emits stopRequested. One for the process. On Windows the
// console's events stand for them (quitonsignals_win.cpp): Ctrl+C and
// Ctrl+Break for SIGINT, a closed console for SIGHUP, a logoff or shutdown
// for SIGTERM.
class CStopSignals : public QObject
{
    Q_OBJECT

public:
    // Watches the signals named, in addition to any watched already; null
    // when the pipe cannot be made.
    static CStopSignals *watch(std::initializer_list<StopSignal> stops);

signals:
    // The system's number of the signal.
    void stopRequested(int signalNumber);

private:
    explicit CStopSignals(QObject *parent) : QObject(parent) {}
};

// Ends the process, once it has cleaned up, as the signal would have: its
// parent sees it ended by that signal (a shell's status 128 + n), as the
// convention is for programs that catch one.
[[noreturn]] void ExitAsStoppedBy(int signalNumber);

// SIGINT, SIGTERM and SIGHUP end the application's event loop (exit code 0),
// so that the program cleans up as after a normal end. False when the pipe
// cannot be made.
bool QuitOnSignals(QCoreApplication *app);

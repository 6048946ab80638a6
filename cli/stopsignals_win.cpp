#include "stopsignals.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include <windows.h>

// A console program on Windows hears of Ctrl+C, Ctrl+Break, its console
// window closed, a logoff and a shutdown through a handler the system runs
// on a thread of its own. The handler hands the event to the event loop as
// the signal it stands for, numbered as POSIX numbers them, so that the
// program ends as it does on Linux: the same close path, the same exit code.
namespace {

constexpr int kHangUp = 1;
constexpr int kInterrupt = 2;
constexpr int kBrokenPipe = 13;
constexpr int kTerminate = 15;

std::atomic<int> g_arrived{0};


BOOL WINAPI onConsoleEvent(DWORD event)
{
    int number;
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        number = kInterrupt;
        break;
    case CTRL_CLOSE_EVENT:
        number = kHangUp;
        break;
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        number = kTerminate;
        break;
    default:
        return FALSE;
    }
    g_arrived = number;
    // The handler is there only once the watcher is: this is that watcher.
    CStopSignals *stops = CStopSignals::watch();
    QMetaObject::invokeMethod(stops, [stops, number] { emit stops->stopRequested(number); }, Qt::QueuedConnection);
    // The system ends the process as soon as a handler of these returns;
    // waiting here lets the close path run (Windows allows some seconds).
    // The program's own exit ends this thread with it.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        Sleep(INFINITE);
    return TRUE;
}

} // namespace

CStopSignals *CStopSignals::watch()
{
    if (!s_instance) {
        s_instance = new CStopSignals(QCoreApplication::instance());
        if (!SetConsoleCtrlHandler(onConsoleEvent, TRUE)) {
            delete s_instance;
            s_instance = nullptr;
        }
    }
    return s_instance;
}

int CStopSignals::arrived()
{
    return g_arrived != 0 ? int(g_arrived) : s_readerGone ? brokenPipe() : 0;
}

int CStopSignals::brokenPipe()
{
    return kBrokenPipe;
}

// The C runtime says EINVAL for a pipe whose reader has gone.
bool CStopSignals::readerGone(int error)
{
    return error == EPIPE || error == EINVAL;
}

void ExitAsStoppedBy(int signalNumber)
{
    // There is no signal to end by: the exit code a POSIX shell would show.
    std::_Exit(128 + signalNumber);
}

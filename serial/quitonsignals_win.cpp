#include "quitonsignals.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <atomic>
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

CStopSignals *g_instance = nullptr;
std::atomic<unsigned> g_watched{0}; // a bit per signal number

int numberOf(StopSignal stop)
{
    switch (stop) {
    case StopSignal::Interrupt: return kInterrupt;
    case StopSignal::Terminate: return kTerminate;
    case StopSignal::HangUp: return kHangUp;
    case StopSignal::BrokenPipe: return kBrokenPipe;
    }
    return kTerminate;
}

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
    if (!(g_watched.load() & (1u << number)))
        return FALSE; // the system's default: the process ends
    QMetaObject::invokeMethod(g_instance, [number] { emit g_instance->stopRequested(number); }, Qt::QueuedConnection);
    // The system ends the process as soon as a handler of these returns;
    // waiting here lets the close path run (Windows allows some seconds).
    // The program's own exit ends this thread with it.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        Sleep(INFINITE);
    return TRUE;
}

} // namespace

CStopSignals *CStopSignals::watch(std::initializer_list<StopSignal> stops)
{
    if (!g_instance) {
        g_instance = new CStopSignals(QCoreApplication::instance());
        if (!SetConsoleCtrlHandler(onConsoleEvent, TRUE)) {
            delete g_instance;
            g_instance = nullptr;
            return nullptr;
        }
    }
    for (const StopSignal stop : stops)
        g_watched |= 1u << numberOf(stop);
    return g_instance;
}

void ExitAsStoppedBy(int signalNumber)
{
    // There is no signal to end by: the exit code a POSIX shell would show.
    std::_Exit(128 + signalNumber);
}

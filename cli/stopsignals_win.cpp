#include "stopsignals.h"

#include <QCoreApplication>
#include <QMetaObject>

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

CStopSignals *g_instance = nullptr;

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
    QMetaObject::invokeMethod(g_instance, [number] { emit g_instance->stopRequested(number); }, Qt::QueuedConnection);
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
    if (!g_instance) {
        g_instance = new CStopSignals(QCoreApplication::instance());
        if (!SetConsoleCtrlHandler(onConsoleEvent, TRUE)) {
            delete g_instance;
            g_instance = nullptr;
        }
    }
    return g_instance;
}

bool CStopSignals::write(FILE *stream, const QByteArray &bytes)
{
    errno = 0;
    if ((std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) == size_t(bytes.size())
         && std::fflush(stream) == 0)
        || (errno != EPIPE && errno != EINVAL))
        return true;
    if (g_instance)
        g_instance->requestStop(kBrokenPipe);
    return false;
}

void CStopSignals::requestStop(int signalNumber)
{
    QMetaObject::invokeMethod(this, [this, signalNumber] { emit stopRequested(signalNumber); }, Qt::QueuedConnection);
}

void ExitAsStoppedBy(int signalNumber)
{
    // There is no signal to end by: the exit code a POSIX shell would show.
    std::_Exit(128 + signalNumber);
}

bool QuitOnStopSignals(QCoreApplication *app)
{
    CStopSignals *stops = CStopSignals::watch();
    if (!stops)
        return false;
    QObject::connect(stops, &CStopSignals::stopRequested, app, &QCoreApplication::quit);
    return true;
}

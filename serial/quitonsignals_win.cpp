#include "quitonsignals.h"

#include <QCoreApplication>

#include <cstdlib>

// Ctrl+C ends a console program here by the system's default; there is no
// pipe to hand a signal to the event loop through.
CStopSignals *CStopSignals::watch(std::initializer_list<StopSignal>)
{
    static CStopSignals *instance = new CStopSignals(QCoreApplication::instance());
    return instance;
}

void ExitAsStoppedBy(int signalNumber)
{
    std::_Exit(128 + signalNumber);
}

bool QuitOnSignals(QCoreApplication *)
{
    return true;
}

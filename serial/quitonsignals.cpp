#include "quitonsignals.h"

#include <QCoreApplication>

bool QuitOnSignals(QCoreApplication *app)
{
    CStopSignals *stops = CStopSignals::watch({StopSignal::Interrupt, StopSignal::Terminate, StopSignal::HangUp});
    if (!stops)
        return false;
    QObject::connect(stops, &CStopSignals::stopRequested, app, &QCoreApplication::quit);
    return true;
}

#include "quitonsignals.h"

// Ctrl+C ends a console program here by the system's default; there is no
// pipe to hand a signal to the event loop through.
bool QuitOnSignals(QCoreApplication *)
{
    return true;
}

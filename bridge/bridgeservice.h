#pragma once

#include "printabletext.h"
#include "stopsignals.h"

#include <QString>

#include <functional>

// How dimra-mqtt runs: in a terminal or a console as any program, or on
// Windows, started by the service manager, as the service "Dimra MQTT
// bridge" (bridgeservice_win.cpp). The program is the same either way; what
// the way it runs gives it is where its lines go and whom it tells that it
// runs. A service's stop reaches it as a stop signal (stopsignals.h), so
// that it ends by the same path as after Ctrl+C.
struct BridgeHost
{
    // Someone reads standard output and error: the command line's help and
    // refusals go there as every program's do.
    bool console = true;
    // A line for whoever looks: standard error, or the service's log file.
    // What came from outside is shown with its control characters escaped.
    std::function<void(const QString &line)> print = [](const QString &line) {
        CStopSignals::write(stderr, PrintableText(line, false) + QLatin1Char('\n'));
    };
    // The program watches the stop signals and serves: a service tells the
    // service manager that it has started and takes a stop from now on.
    std::function<void()> running = [] {};
};

// Runs program as the way this process was started has it and returns its
// exit status.
int RunBridgeProgram(int argc, char *argv[], int (*program)(int, char **, const BridgeHost &));

// dimra-mqtt: puts the Dimra boards of this computer on an MQTT broker, with
// Home Assistant discovery. Runs until SIGTERM or Ctrl+C (on Windows also
// the console's close and the service's stop), then publishes offline,
// sends what still waits for the lines and exits with status 0.
//
// Exit status: 0 after a signal, 1 when it cannot start (a password or CA
// file that cannot be read, a CA file without a certificate, another running
// bridge with its bridge id), 2
// (Cli::kExitUsage) when its command line or configuration is refused.

#include "bridgemessages.h"
#include "bridgeoptions.h"
#include "bridgeservice.h"
#include "language.h"
#include "mqttbridge.h"
#include "stopsignals.h"

#include <QCoreApplication>

namespace {

constexpr int kCannotStart = 1;
// How long the end may take: offline published, the lines drained.
constexpr int kShutdownMs = 3000;

int runBridge(int argc, char *argv[], const BridgeHost &host)
{
    const auto &printLine = host.print;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dimra-mqtt"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DIMRA_VERSION));
    const CRunLanguage language(CRunLanguage::CommandLine);

    // The arguments byte for byte: -p takes any path.
    const BridgeParse parse = ParseBridgeArguments(CommandLineArguments(argc, argv));
    if (parse.outcome != CCommandLine::Run) {
        if (host.console)
            return FinishCommandLine(parse.outcome, BridgeHelpText(), parse.error);
        // A service's only reader is its log.
        const bool refused = parse.outcome == CCommandLine::Error;
        printLine(refused ? QStringLiteral("dimra-mqtt: %1").arg(parse.error) : BridgeHelpText());
        return refused ? Cli::kExitUsage : Cli::kExitOk;
    }
    const BridgeConfig &config = parse.options;
    for (const QString &warning : accessWarnings(config))
        printLine(QStringLiteral("dimra-mqtt: %1").arg(warning));

    QString error;
    const std::optional<QString> password = readBrokerPassword(config.passwordFile, &error);
    if (!password) {
        printLine(QStringLiteral("dimra-mqtt: %1").arg(error));
        return kCannotStart;
    }

    if (const std::optional<QString> problem = config.caFile.isEmpty() ? std::nullopt : caFileProblem(config.caFile)) {
        printLine(QStringLiteral("dimra-mqtt: %1").arg(*problem));
        return kCannotStart;
    }

    // A broker that goes away mid-write is a lost connection, not a signal.
    if (!QuitOnStopSignals(&app)) {
        printLine(QCoreApplication::translate("dimra-mqtt", "dimra-mqtt: cannot install the signal handlers"));
        return kCannotStart;
    }

    CMqttBridge bridge(config, *password);
    QObject::connect(&bridge, &CMqttBridge::logged, &app, printLine);
    QObject::connect(&bridge, &CMqttBridge::identityTaken, &app, [] { QCoreApplication::exit(kCannotStart); });
    printLine(QCoreApplication::translate("dimra-mqtt", "dimra-mqtt %1: %n board(s), broker %2:%3, bridge %4", nullptr,
                                          int(config.boards.size()))
                  .arg(QStringLiteral(DIMRA_VERSION), config.host)
                  .arg(config.port)
                  .arg(bridge.bridgeId()));
    bridge.start();
    host.running();
    const int status = app.exec();

    printLine(QCoreApplication::translate("dimra-mqtt", "stopping: publishing offline and sending what waits"));
    if (!bridge.shutdown(kShutdownMs))
        printLine(QCoreApplication::translate("dimra-mqtt", "not everything got out within %1 s").arg(kShutdownMs / 1000));
    return status == kCannotStart ? kCannotStart : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    // Before anything opens a descriptor: a closed standard error must not
    // make a board's port the target of the bridge's messages.
    ReserveStandardStreams();
    return RunBridgeProgram(argc, argv, runBridge);
}

// dimra-mqtt: puts the Dimra boards of this computer on an MQTT broker, with
// Home Assistant discovery. Runs until SIGTERM or Ctrl+C, then publishes
// offline, sends what still waits for the lines and exits with status 0.
//
// Exit status: 0 after a signal, 1 when it cannot start (a password or CA
// file that cannot be read, another running bridge with its bridge id), 2
// when its command line or configuration is refused.

#include "bridgeconfig.h"
#include "language.h"
#include "mqttbridge.h"
#include "quitonsignals.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <csignal>
#include <cstdio>

namespace {

constexpr int kCannotStart = 1;
constexpr int kUsage = 2;
// How long the end may take: offline published, the lines drained.
constexpr int kShutdownMs = 3000;

void printLine(const QString &line)
{
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dimra-mqtt"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DIMRA_VERSION));
    const CRunLanguage language(CRunLanguage::CommandLine);

    const BridgeParse parse = parseBridgeArguments(QCoreApplication::arguments());
    switch (parse.outcome) {
    case BridgeParse::Help:
        std::fputs(bridgeHelpText().toLocal8Bit().constData(), stdout);
        return 0;
    case BridgeParse::Version:
        std::printf("dimra-mqtt %s\n", DIMRA_VERSION);
        return 0;
    case BridgeParse::Error:
        printLine(QCoreApplication::translate("dimra-mqtt", "dimra-mqtt: %1\nRun \"dimra-mqtt --help\" for the options.")
                      .arg(parse.error));
        return kUsage;
    case BridgeParse::Run:
        break;
    }
    const BridgeConfig &config = parse.config;
    for (const QString &warning : accessWarnings(config))
        printLine(QStringLiteral("dimra-mqtt: %1").arg(warning));

    QString error;
    const std::optional<QString> password = readBrokerPassword(config.passwordFile, &error);
    if (!password) {
        printLine(QStringLiteral("dimra-mqtt: %1").arg(error));
        return kCannotStart;
    }

    if (!config.caFile.isEmpty() && !QFileInfo(config.caFile).isReadable()) {
        printLine(QCoreApplication::translate("dimra-mqtt", "dimra-mqtt: cannot read the CA file %1").arg(config.caFile));
        return kCannotStart;
    }

#ifdef SIGPIPE
    // A broker that goes away mid-write is a lost connection, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    if (!QuitOnSignals(&app)) {
        printLine(QCoreApplication::translate("dimra-mqtt", "dimra-mqtt: cannot install the signal handlers"));
        return kCannotStart;
    }

    CMqttBridge bridge(config, *password);
    QObject::connect(&bridge, &CMqttBridge::logged, &app, &printLine);
    QObject::connect(&bridge, &CMqttBridge::identityTaken, &app, [] { QCoreApplication::exit(kCannotStart); });
    printLine(QCoreApplication::translate("dimra-mqtt", "dimra-mqtt %1: %n board(s), broker %2:%3, bridge %4", nullptr,
                                          int(config.boards.size()))
                  .arg(QStringLiteral(DIMRA_VERSION), config.host)
                  .arg(config.port)
                  .arg(bridge.bridgeId()));
    bridge.start();
    const int status = app.exec();

    printLine(QCoreApplication::translate("dimra-mqtt", "stopping: publishing offline and sending what waits"));
    if (!bridge.shutdown(kShutdownMs))
        printLine(QCoreApplication::translate("dimra-mqtt", "not everything got out within %1 s").arg(kShutdownMs / 1000));
    return status == kCannotStart ? kCannotStart : 0;
}

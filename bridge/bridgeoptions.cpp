#include "bridgeoptions.h"

#include "bridgemessages.h"
#include "commport.h"
#include "presetfile.h"
#include "printabletext.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>

namespace {

// The command line's messages and help are written in English and told in
// the run's language.
struct BridgeCommandLine
{
    Q_DECLARE_TR_FUNCTIONS(BridgeCommandLine)
};

const QString kConfig = QStringLiteral("config");
const QString kPort = QStringLiteral("port");
const QString kId = QStringLiteral("id");
const QString kBridgeId = QStringLiteral("bridge-id");
const QString kBroker = QStringLiteral("broker");
const QString kCaFile = QStringLiteral("ca-file");
const QString kUser = QStringLiteral("user");
const QString kPasswordFile = QStringLiteral("password-file");
const QString kNoDiscovery = QStringLiteral("no-discovery");
const QString kRestore = QStringLiteral("restore");
const QString kPresets = QStringLiteral("presets");

constexpr auto refused = &BridgeParse::refused;

#ifdef Q_OS_WIN
// Setup puts the example beside the program.
QString exampleConfig()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + QStringLiteral("/mqtt-example.conf"));
}
// What ends the bridge in a console and as a service.
QString stopsText()
{
    return BridgeCommandLine::tr("Ctrl+C, closing the console or stopping the service");
}
#else
QString exampleConfig()
{
    return QStringLiteral("/usr/share/doc/dimra/examples/mqtt.conf");
}
QString stopsText()
{
    return BridgeCommandLine::tr("SIGTERM or Ctrl+C");
}
#endif

// Splits HOST[:PORT] ([v6 address]:PORT for IPv6); the port stays as it was
// when none is given. False when the port is not a number from 1 to 65535.
bool parseBrokerAddress(const QString &text, QString *host, int *port)
{
    static const QRegularExpression form(QStringLiteral("^(?:\\[([^\\]]+)\\]|([^:]+))(?::([^:]*))?$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch()) {
        // A bare IPv6 address has colons of its own and no port.
        if (text.count(QLatin1Char(':')) < 2)
            return false;
        *host = text;
        return true;
    }
    const QString name = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
    if (match.hasCaptured(3)) {
        bool ok = false;
        const int n = match.captured(3).toInt(&ok, 10);
        if (!ok || n < 1 || n > 65535)
            return false;
        *port = n;
    }
    *host = name;
    return true;
}

CCommandLine bridgeCommandLine()
{
    CCommandLine commandLine(
        QStringLiteral("dimra-mqtt"),
        {QStringLiteral("-p PORT [--id ID] [--bridge-id ID] [--broker HOST[:PORT]] [--no-discovery] [--restore] "
                        "[--presets FILE]"),
         QStringLiteral("-c FILE")},
        BridgeCommandLine::tr("Puts Dimra PWM LED dimmer boards on an MQTT broker: each board's values as retained "
                              "state under dimra/<id>/, commands from dimra/<id>/set, one Home Assistant light per "
                              "channel and Home Assistant discovery."));
    commandLine.addOption({{QStringLiteral("p"), kPort}, QStringLiteral("PORT"),
                           BridgeCommandLine::tr("the board's port: a device path, a /dev/serial/by-id path, or "
                                                 "COM1 to COM%1 as in the Dimra window")
                               .arg(kCommPortMax)});
    commandLine.addOption({{kId}, QStringLiteral("ID"),
                           BridgeCommandLine::tr("the board's id in topics (default: from the port's name, so that "
                                                 "it stays across replug and reboot)")});
    commandLine.addOption({{kBridgeId}, QStringLiteral("ID"),
                           BridgeCommandLine::tr("this bridge's own id, for its status topic and last will (default: "
                                                 "from the host's name and the board's id, so that it stays when run "
                                                 "again)")});
    commandLine.addOption({{kBroker}, QStringLiteral("HOST[:PORT]"),
                           BridgeCommandLine::tr("the broker (default localhost, port %1)").arg(kDefaultBrokerPort)});
    commandLine.addOption({{kCaFile}, QStringLiteral("FILE"),
                           BridgeCommandLine::tr("TLS to the broker, its certificate checked with FILE")});
    commandLine.addOption({{kUser}, QStringLiteral("USER"), BridgeCommandLine::tr("the user name at the broker")});
    commandLine.addOption({{kPasswordFile}, QStringLiteral("FILE"),
                           BridgeCommandLine::tr("the password, first line of FILE")});
    commandLine.addOption({{kNoDiscovery}, QString(), BridgeCommandLine::tr("no Home Assistant discovery configs")});
    commandLine.addOption({{kRestore}, QString(),
                           BridgeCommandLine::tr("send the values last commanded again whenever the board links, "
                                                 "after a replug and after a restart (remembered in the broker's "
                                                 "retained state)")});
    commandLine.addOption({{kPresets}, QStringLiteral("FILE"),
                           BridgeCommandLine::tr("the presets file, whose presets {\"preset\":...} applies and Home "
                                                 "Assistant's select offers (default: the user's file, %1)")
                               .arg(CPresetFile::userPath())});
    commandLine.addOption({{QStringLiteral("c"), kConfig}, QStringLiteral("FILE"),
                           BridgeCommandLine::tr("several boards and the broker from FILE (INI format; see %1)")
                               .arg(exampleConfig())});
    commandLine.addSection(BridgeCommandLine::tr("Topics, for a board with id ID:"),
                           {{QStringLiteral("dimra/ID/state"),
                             BridgeCommandLine::tr("retained {\"linked\":true,\"frequency\":1000,\"ch1\":40,...}, "
                                                   "null for a value not known yet")},
                            {QStringLiteral("dimra/ID/set"),
                             BridgeCommandLine::tr("{\"frequency\":2000,\"ch1\":40}: any of the four keys; "
                                                   "{\"preset\":\"A\"} applies the preset A, "
                                                   "{\"preset\":\"A\",\"transition\":2} fading")},
                            {QStringLiteral("dimra/ID/preset"),
                             BridgeCommandLine::tr("retained {\"preset\":\"A\"}, the preset last applied; null once "
                                                   "a value has moved since")},
                            {QStringLiteral("dimra/ID/get"),
                             BridgeCommandLine::tr("an empty message: the board reports, and its state is published "
                                                   "anew")},
                            {QStringLiteral("dimra/ID/chN"),
                             BridgeCommandLine::tr("retained {\"state\":\"ON\",\"brightness\":40} (N = 1, 2, 3)")},
                            {QStringLiteral("dimra/ID/chN/set"),
                             BridgeCommandLine::tr("{\"state\":\"ON\",\"brightness\":40,\"transition\":2}, "
                                                   "{\"state\":\"OFF\"}; transition fades, in seconds")},
                            {QStringLiteral("dimra/ID/availability"), BridgeCommandLine::tr("retained online / offline")},
                            {QStringLiteral("dimra/ID/error"), BridgeCommandLine::tr("why a command was refused")},
                            {QStringLiteral("dimra/bridge/BRIDGE/status"),
                             BridgeCommandLine::tr("retained online / offline, the bridge's own")}});
    commandLine.addEpilog(BridgeCommandLine::tr("Ids are 1 to %1 letters, digits, - and _.\nA board that another "
                                                "running bridge serves is left to it.\n%2 publish offline, send what "
                                                "waits for the lines and exit.")
                              .arg(kMaxIdLength)
                              .arg(stopsText()));
    return commandLine;
}

BridgeParse readArguments(const QStringList &arguments)
{
    CCommandLine parser = bridgeCommandLine();
    if (BridgeParse read = BridgeParse::read(parser, arguments); read.outcome != CCommandLine::Run)
        return read;
    if (!parser.positionalArguments().isEmpty())
        return refused(BridgeCommandLine::tr("unexpected argument \"%1\"")
                           .arg(parser.positionalArguments().first()));

    if (parser.isSet(kConfig)) {
        for (const QString &option :
             {kPort, kId, kBridgeId, kBroker, kCaFile, kUser, kPasswordFile, kNoDiscovery, kRestore, kPresets})
            if (parser.isSet(option))
                return refused(BridgeCommandLine::tr("--%1 goes with -p; with -c the file says it").arg(option));
        return loadBridgeConfig(parser.value(kConfig));
    }
    if (!parser.isSet(kPort))
        return refused(BridgeCommandLine::tr("name the board with -p PORT, or several in a file with -c FILE"));

    BridgeConfig result;
    if (parser.isSet(kBroker) && !parseBrokerAddress(parser.value(kBroker), &result.host, &result.port))
        return refused(BridgeCommandLine::tr("--broker takes HOST or HOST:PORT with a port from 1 to 65535, not \"%1\"")
                           .arg(parser.value(kBroker)));
    if (result.host.isEmpty())
        return refused(BridgeCommandLine::tr("--broker names no host"));
    result.caFile = parser.value(kCaFile);
    result.user = parser.value(kUser);
    result.passwordFile = parser.value(kPasswordFile);
    result.discovery = !parser.isSet(kNoDiscovery);
    result.presetsFile = parser.isSet(kPresets) ? parser.value(kPresets) : CPresetFile::userPath();
    if (parser.isSet(kBridgeId)) {
        result.bridgeId = parser.value(kBridgeId);
        if (const std::optional<QString> problem = bridgeIdProblem(result.bridgeId))
            return refused(QStringLiteral("--bridge-id: %1").arg(*problem));
    }
    BridgeBoardConfig board;
    board.port = parser.value(kPort);
    board.id = parser.value(kId);
    board.restore = parser.isSet(kRestore);
    return oneBoardConfig(result, board, parser.isSet(kId));
}

} // namespace

BridgeParse ParseBridgeArguments(const QStringList &arguments)
{
    BridgeParse parse = readArguments(arguments);
    // A refusal quotes the command line and the file: shown, never raw.
    parse.error = PrintableText(parse.error, false);
    return parse;
}

QString BridgeHelpText()
{
    return bridgeCommandLine().helpText();
}

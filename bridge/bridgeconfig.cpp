#include "bridgeconfig.h"

#include "boardlink.h"
#include "bridgemessages.h"
#include "commport.h"
#include "protocolnumbers.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>

namespace {

// The bridge's texts are written in English and told in the run's language.
struct DimraMqtt
{
    Q_DECLARE_TR_FUNCTIONS(DimraMqtt)
};

BridgeParse failure(const QString &error)
{
    BridgeParse result;
    result.error = error;
    return result;
}

// Gives every board an id and checks the whole configuration.
BridgeParse checked(BridgeConfig config)
{
    if (config.boards.isEmpty())
        return failure(DimraMqtt::tr("no board to serve; name one with -p PORT or in a [board.NAME] section"));
    QSet<QString> ids;
    for (BridgeBoardConfig &board : config.boards) {
        if (board.port.isEmpty())
            return failure(DimraMqtt::tr("a board has no port"));
        if (!portNumberOf(board.port))
            return failure(DimraMqtt::tr("there is no port %1; the ports are COM1 to COM%2, or give a device path")
                               .arg(board.port)
                               .arg(Dimra::kPortCount));
        if (board.id.isEmpty())
            board.id = derivedBoardId(board.port);
        if (!isValidBoardId(board.id))
            return failure(DimraMqtt::tr("\"%1\" cannot be a board id: letters, digits, - and _ only, and not \"bridge\"")
                               .arg(board.id));
        if (ids.contains(board.id))
            return failure(DimraMqtt::tr("two boards have the id \"%1\"").arg(board.id));
        ids.insert(board.id);
        if (board.name.isEmpty())
            board.name = QStringLiteral("Dimra %1").arg(board.id);
    }
    BridgeParse result;
    result.outcome = BridgeParse::Run;
    result.config = config;
    return result;
}

std::optional<bool> boolValue(const QString &text)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("true") || t == QLatin1String("yes") || t == QLatin1String("on") || t == QLatin1String("1"))
        return true;
    if (t == QLatin1String("false") || t == QLatin1String("no") || t == QLatin1String("off") || t == QLatin1String("0"))
        return false;
    return std::nullopt;
}

} // namespace

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

QString derivedBoardId(const QString &linkName, const QString &byIdName, const QString &deviceName)
{
    for (const QString &name : {linkName, byIdName, deviceName})
        if (!name.isEmpty())
            return tidyBoardId(name);
    return QString();
}

QString derivedBoardId(const QString &port)
{
    QString device = port;
    QString linkName;
    if (const int n = portNumberOf(port).value_or(0); n > 0) {
        const CommPortTarget target = ResolveCommPort(n);
        if (target.device.isEmpty())
            return QStringLiteral("com%1").arg(n);
        device = target.device;
        // The number's stable link names the adapter, as the window keeps it.
        if (target.identity != target.device)
            linkName = QFileInfo(target.identity).fileName();
    } else {
        const QFileInfo given(port);
        // A link names the board, whatever device it leads to today; a path
        // that is not there yet is taken as such a link.
        if (given.isSymLink() || !given.exists())
            linkName = given.fileName();
    }
    QString byIdName;
    if (linkName.isEmpty()) {
        const QString target = QFileInfo(device).canonicalFilePath();
        const QFileInfoList links = QDir(DeviceRoot() + QStringLiteral("/serial/by-id")).entryInfoList(QDir::System | QDir::Files, QDir::Name);
        for (const QFileInfo &link : links)
            if (!target.isEmpty() && link.canonicalFilePath() == target)
                byIdName = link.fileName();
    }
    return derivedBoardId(linkName, byIdName, QFileInfo(device).fileName());
}

std::optional<QString> readBrokerPassword(const QString &passwordFile, QString *error)
{
    QString path = passwordFile;
    if (path.isEmpty()) {
        const QString credentials = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
        const QString credential = credentials + QStringLiteral("/mqtt-password");
        if (credentials.isEmpty() || !QFileInfo::exists(credential))
            return QString();
        path = credential;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = DimraMqtt::tr("cannot read the password file %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QByteArray content = file.read(4096);
    const qsizetype end = content.indexOf('\n');
    QByteArray line = end < 0 ? content : content.left(end);
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

BridgeParse loadBridgeConfig(const QString &file)
{
    if (!QFileInfo(file).isFile() || !QFileInfo(file).isReadable())
        return failure(DimraMqtt::tr("cannot read the configuration file %1").arg(file));
    QSettings settings(file, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return failure(DimraMqtt::tr("%1 is not in the INI format").arg(file));

    BridgeConfig config;
    auto unknownKey = [&](const QString &group, const QString &key) {
        return failure(DimraMqtt::tr("%1: unknown key \"%2\" in [%3]").arg(file, key, group));
    };
    auto badValue = [&](const QString &group, const QString &key, const QString &what) {
        return failure(DimraMqtt::tr("%1: [%2] %3 must be %4").arg(file, group, key, what));
    };

    const QStringList topLevel = settings.childKeys();
    if (!topLevel.isEmpty())
        return failure(DimraMqtt::tr("%1: \"%2\" stands outside a section").arg(file, topLevel.first()));

    for (const QString &group : settings.childGroups()) {
        settings.beginGroup(group);
        const QStringList keys = settings.childKeys();
        // QSettings reads a value with commas as a list; a name may have them.
        auto text = [&](const QString &key) {
            const QVariant value = settings.value(key);
            return (value.userType() == QMetaType::QStringList ? value.toStringList().join(QStringLiteral(", "))
                                                               : value.toString())
                .trimmed();
        };
        if (group == QLatin1String("broker")) {
            for (const QString &key : keys) {
                if (key == QLatin1String("host")) {
                    config.host = text(key);
                } else if (key == QLatin1String("port")) {
                    bool ok = false;
                    config.port = text(key).toInt(&ok);
                    if (!ok || config.port < 1 || config.port > 65535)
                        return badValue(group, key, DimraMqtt::tr("a number from 1 to 65535"));
                } else if (key == QLatin1String("ca_file")) {
                    config.caFile = text(key);
                } else if (key == QLatin1String("user")) {
                    config.user = text(key);
                } else if (key == QLatin1String("password_file")) {
                    config.passwordFile = text(key);
                } else {
                    return unknownKey(group, key);
                }
            }
        } else if (group == QLatin1String("discovery")) {
            for (const QString &key : keys) {
                if (key == QLatin1String("enabled")) {
                    const std::optional<bool> on = boolValue(text(key));
                    if (!on)
                        return badValue(group, key, DimraMqtt::tr("true or false"));
                    config.discovery = *on;
                } else if (key == QLatin1String("prefix")) {
                    config.discoveryPrefix = text(key);
                    if (config.discoveryPrefix.isEmpty() || config.discoveryPrefix.contains(QLatin1Char('+'))
                        || config.discoveryPrefix.contains(QLatin1Char('#')))
                        return badValue(group, key, DimraMqtt::tr("a topic without + and #"));
                } else {
                    return unknownKey(group, key);
                }
            }
        } else if (group.startsWith(QLatin1String("board."))) {
            BridgeBoardConfig board;
            for (const QString &key : keys) {
                if (key == QLatin1String("port")) {
                    board.port = text(key);
                } else if (key == QLatin1String("id")) {
                    board.id = text(key);
                } else if (key == QLatin1String("name")) {
                    board.name = text(key);
                } else if (key == QLatin1String("restore")) {
                    const std::optional<bool> on = boolValue(text(key));
                    if (!on)
                        return badValue(group, key, DimraMqtt::tr("true or false"));
                    board.restore = *on;
                } else {
                    return unknownKey(group, key);
                }
            }
            if (board.port.isEmpty())
                return failure(DimraMqtt::tr("%1: [%2] has no port").arg(file, group));
            config.boards.append(board);
        } else {
            return failure(DimraMqtt::tr("%1: unknown section [%2]; the sections are [broker], [discovery] and [board.NAME]")
                               .arg(file, group));
        }
        settings.endGroup();
    }
    if (config.host.isEmpty())
        return failure(DimraMqtt::tr("%1: [broker] host is empty").arg(file));
    return checked(config);
}

BridgeParse parseBridgeArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption config({QStringLiteral("c"), QStringLiteral("config")}, QString(), QStringLiteral("FILE"));
    const QCommandLineOption port({QStringLiteral("p"), QStringLiteral("port")}, QString(), QStringLiteral("PORT"));
    const QCommandLineOption id(QStringLiteral("id"), QString(), QStringLiteral("ID"));
    const QCommandLineOption broker(QStringLiteral("broker"), QString(), QStringLiteral("HOST[:PORT]"));
    const QCommandLineOption caFile(QStringLiteral("ca-file"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption user(QStringLiteral("user"), QString(), QStringLiteral("USER"));
    const QCommandLineOption passwordFile(QStringLiteral("password-file"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption noDiscovery(QStringLiteral("no-discovery"));
    const QCommandLineOption restore(QStringLiteral("restore"));
    parser.addOptions({help, version, config, port, id, broker, caFile, user, passwordFile, noDiscovery, restore});

    if (!parser.parse(arguments))
        return failure(parser.errorText());
    if (parser.isSet(help))
        return {BridgeParse::Help, {}, {}};
    if (parser.isSet(version))
        return {BridgeParse::Version, {}, {}};
    if (!parser.positionalArguments().isEmpty())
        return failure(DimraMqtt::tr("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    if (parser.isSet(config)) {
        for (const QCommandLineOption &option : {port, id, broker, caFile, user, passwordFile, noDiscovery, restore})
            if (parser.isSet(option))
                return failure(DimraMqtt::tr("--%1 goes with -p; with -c the file says it").arg(option.names().constLast()));
        return loadBridgeConfig(parser.value(config));
    }
    if (!parser.isSet(port))
        return failure(DimraMqtt::tr("name the board with -p PORT, or several in a file with -c FILE"));

    BridgeConfig result;
    if (parser.isSet(broker) && !parseBrokerAddress(parser.value(broker), &result.host, &result.port))
        return failure(DimraMqtt::tr("--broker takes HOST or HOST:PORT with a port from 1 to 65535, not \"%1\"")
                           .arg(parser.value(broker)));
    if (result.host.isEmpty())
        return failure(DimraMqtt::tr("--broker names no host"));
    result.caFile = parser.value(caFile);
    result.user = parser.value(user);
    result.passwordFile = parser.value(passwordFile);
    result.discovery = !parser.isSet(noDiscovery);
    BridgeBoardConfig board;
    board.port = parser.value(port);
    board.id = parser.value(id);
    board.restore = parser.isSet(restore);
    if (parser.isSet(id) && board.id.isEmpty())
        return failure(DimraMqtt::tr("--id names no id"));
    result.boards.append(board);
    return checked(result);
}

QString bridgeHelpText()
{
    return DimraMqtt::tr(R"(Usage: dimra-mqtt -p PORT [--id ID] [--broker HOST[:PORT]] [--no-discovery] [--restore]
       dimra-mqtt -c FILE

Puts Dimra PWM LED dimmer boards on an MQTT broker: each board's values as
retained state under dimra/<id>/, commands from dimra/<id>/set, one Home
Assistant light per channel and Home Assistant discovery.

Options:
  -p, --port PORT        the board's port: a device path, a /dev/serial/by-id
                         path, or COM1 to COM12 as in the Dimra window
  --id ID                the board's id in topics (default: from the port's
                         name, so that it stays across replug and reboot)
  --broker HOST[:PORT]   the broker (default localhost, port 1883)
  --ca-file FILE         TLS to the broker, its certificate checked with FILE
  --user USER            the user name at the broker
  --password-file FILE   the password, first line of FILE
  --no-discovery         no Home Assistant discovery configs
  --restore              after the board links again, send the values last
                         commanded again
  -c, --config FILE      several boards and the broker from FILE (INI format;
                         see /usr/share/doc/dimra/examples/mqtt.conf)
  -h, --help             show this help
  -v, --version          show the version

Topics, for a board with id ID:
  dimra/ID/state         retained {"linked":true,"frequency":1000,"ch1":40,...}
  dimra/ID/set           {"frequency":2000,"ch1":40}: any of the four keys
  dimra/ID/chN           retained {"state":"ON","brightness":40} (N = 1, 2, 3)
  dimra/ID/chN/set       {"state":"ON","brightness":40}, {"state":"OFF"}
  dimra/ID/availability  retained online / offline
  dimra/ID/error         why a command was refused

SIGTERM or Ctrl+C publish offline, send what waits for the lines and exit.
)");
}

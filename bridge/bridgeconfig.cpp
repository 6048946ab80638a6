#include "bridgeconfig.h"

#include "bridgemessages.h"
#include "commport.h"
#include "portscan.h"
#include "printabletext.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QSysInfo>

namespace {

// The bridge's texts are written in English and told in the run's language.
struct DimraMqtt
{
    Q_DECLARE_TR_FUNCTIONS(DimraMqtt)
};

// A configuration file larger than this is no configuration.
constexpr qint64 kMaxConfigBytes = 1 << 20;
// A CA's certificate is looked for in this much of its file; a bundle of
// every public CA has a few hundred kilobytes.
constexpr qint64 kMaxCaBytes = 16 << 20;

// A refusal quotes the file and the command line: shown, never raw.
BridgeParse failure(const QString &error)
{
    return BridgeParse::refused(PrintableText(error, false));
}

QString idRule()
{
    return DimraMqtt::tr("1 to %1 letters, digits, - and _").arg(kMaxIdLength);
}

// Why id cannot be a board id, or nothing when it can.
std::optional<QString> boardIdProblem(const QString &id)
{
    if (id.isEmpty())
        return DimraMqtt::tr("names no id");
    if (isValidBoardId(id))
        return std::nullopt;
    return DimraMqtt::tr("\"%1\" cannot be a board id: %2, and not \"bridge\"").arg(id.left(kMaxIdLength * 2), idRule());
}

std::optional<QString> bridgeIdProblem(const QString &id)
{
    if (isValidBridgeId(id))
        return std::nullopt;
    return DimraMqtt::tr("\"%1\" cannot be a bridge id: %2").arg(id.left(kMaxIdLength * 2), idRule());
}

// A board as configured, and where: "--port", or the file and line of its id
// (of its port, when the id is made from that).
struct PlacedBoard
{
    BridgeBoardConfig board;
    QString place;
};

// Gives every board its name and checks what concerns them all.
BridgeParse checked(BridgeConfig config, const QList<PlacedBoard> &boards)
{
    if (boards.isEmpty())
        return failure(DimraMqtt::tr("no board to serve; name one with -p PORT or in a [board.NAME] section"));
    if (boards.size() > kMaxBoards)
        return failure(DimraMqtt::tr("%1 boards; one bridge serves at most %2").arg(boards.size()).arg(kMaxBoards));
    QHash<QString, QString> placeOf; // id -> where it was given
    for (const PlacedBoard &placed : boards) {
        BridgeBoardConfig board = placed.board;
        if (const QString other = placeOf.value(board.id); !other.isEmpty())
            return failure(DimraMqtt::tr("%1: a second board with the id \"%2\"; the first is at %3").arg(placed.place, board.id, other));
        placeOf.insert(board.id, placed.place);
        if (board.name.isEmpty())
            board.name = QStringLiteral("Dimra %1").arg(board.id);
        config.boards.append(board);
    }
    BridgeParse result;
    result.outcome = CCommandLine::Run;
    result.options = config;
    return result;
}

// The port checked and the id given or made from it; the error names place.
std::optional<QString> settleBoard(BridgeBoardConfig *board, bool idGiven, const QString &place, const QString &idPlace)
{
    if (board->port.isEmpty())
        return DimraMqtt::tr("%1 names no port").arg(place);
    if (!CommPortNumber(board->port))
        return DimraMqtt::tr("%1: there is no port %2; the ports are COM1 to COM%3, or give a device path")
            .arg(place, board->port)
            .arg(kCommPortMax);
    if (!idGiven)
        board->id = derivedBoardId(board->port);
    if (const std::optional<QString> problem = boardIdProblem(board->id))
        return idGiven ? QStringLiteral("%1: %2").arg(idPlace, *problem)
                       : DimraMqtt::tr("%1: the id made from the port, %2; give one with %3")
                             .arg(place, *problem, idPlace);
    return std::nullopt;
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

// The device a port leads to now, so that two names of one device (a by-id
// link and its node, COMn and the node it opens) are one port; while it
// leads nowhere, the port as named.
QString portDevice(const QString &port)
{
    QString path = port;
    if (const int n = CommPortNumber(port).value_or(0); n > 0) {
        path = ResolveCommPort(n).device;
        if (path.isEmpty())
            return CommPortName(n);
    }
    const QFileInfo info(path);
    return info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath());
}

// An INI file read with each key's line, so that every refusal names it.
struct IniEntry
{
    int line = 0;
    QString key;
    QString value;
};
struct IniSection
{
    int line = 0;
    QString name;
    QList<IniEntry> entries;
};

// The value of "key=value": a ';' outside double quotes starts a comment, and
// a value in double quotes loses them (\" and \\ inside stand for " and \).
// Nothing when a quote is not closed: where the value ends, and whether a
// ';' is part of it, cannot be told.
std::optional<QString> iniValue(const QString &text)
{
    QString value;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text.at(i);
        if (c == QLatin1Char('\\') && quoted && i + 1 < text.size()) {
            value += c;
            c = text.at(++i); // \" does not end the quotes
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (c == QLatin1Char(';') && !quoted) {
            break;
        }
        value += c;
    }
    if (quoted)
        return std::nullopt;
    value = value.trimmed();
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))) {
        const QString inner = value.mid(1, value.size() - 2);
        value.clear();
        for (qsizetype i = 0; i < inner.size(); ++i)
            value += inner.at(i) == QLatin1Char('\\') && i + 1 < inner.size() ? inner.at(++i) : inner.at(i);
    }
    return value;
}

// What keeps a line from being read as it was written: bytes that are not
// UTF-8, or a control character (a NUL, an escape) other than a tab.
std::optional<QString> lineProblem(const QString &line, bool utf8)
{
    if (!utf8)
        return DimraMqtt::tr("the line is not UTF-8 text");
    for (const QChar c : line)
        if (c != QLatin1Char('\t') && c.category() == QChar::Other_Control)
            return DimraMqtt::tr("the line holds the control character %1").arg(c);
    return std::nullopt;
}

std::optional<QList<IniSection>> readIni(const QString &file, const QByteArray &content, QString *error)
{
    QList<IniSection> sections;
    QHash<QString, int> sectionLines;
    QHash<QString, int> keyLines; // of the current section
    const QList<QByteArray> lines = content.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = int(i) + 1;
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString line = QString(decoder(lines.at(i))).trimmed();
        if (number == 1 && line.startsWith(QChar(0xFEFF)))
            line = line.mid(1).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (const std::optional<QString> problem = lineProblem(line, !decoder.hasError())) {
            *error = QStringLiteral("%1:%2: %3").arg(file).arg(number).arg(*problem);
            return std::nullopt;
        }
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            const QString name = line.mid(1, line.size() - 2).trimmed();
            if (const int first = sectionLines.value(name); first > 0) {
                *error = DimraMqtt::tr("%1:%2: [%3] again; it begins on line %4 too, and one section takes all its keys")
                             .arg(file).arg(number).arg(name).arg(first);
                return std::nullopt;
            }
            sectionLines.insert(name, number);
            keyLines.clear();
            sections.append({number, name, {}});
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString key = line.left(equals).trimmed();
        if (equals <= 0 || key.isEmpty()) {
            *error = DimraMqtt::tr("%1:%2: neither a [section] nor a key=value line").arg(file).arg(number);
            return std::nullopt;
        }
        if (sections.isEmpty()) {
            *error = DimraMqtt::tr("%1:%2: \"%3\" stands outside a section").arg(file).arg(number).arg(key);
            return std::nullopt;
        }
        if (const int first = keyLines.value(key); first > 0) {
            *error = DimraMqtt::tr("%1:%2: %3 again in [%4]; it is on line %5 too")
                         .arg(file).arg(number).arg(key, sections.constLast().name).arg(first);
            return std::nullopt;
        }
        keyLines.insert(key, number);
        const std::optional<QString> value = iniValue(line.mid(equals + 1));
        if (!value) {
            *error = DimraMqtt::tr("%1:%2: the value of %3 opens a quote that it does not close").arg(file).arg(number).arg(key);
            return std::nullopt;
        }
        sections.last().entries.append({number, key, *value});
    }
    return sections;
}

} // namespace

QString bridgeIdOf(const BridgeConfig &config)
{
    if (!config.bridgeId.isEmpty())
        return config.bridgeId;
    // The configuration file names a bridge; without one, its single board does.
    const QString instance = !config.configFile.isEmpty() ? QStringLiteral("file ") + config.configFile
                                                          : QStringLiteral("board ") + config.boards.value(0).id;
    return defaultBridgeId(QSysInfo::machineHostName(), instance);
}

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
    if (const int n = CommPortNumber(port).value_or(0); n > 0) {
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
    const QString byIdLink = linkName.isEmpty() ? FindByIdLink(DeviceRoot(), device) : QString();
    return derivedBoardId(linkName, QFileInfo(byIdLink).fileName(), QFileInfo(device).fileName());
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

std::optional<QString> caFileProblem(const QString &caFile)
{
    // Opening a pipe would wait for a writer.
    if (const QFileInfo info(caFile); info.exists() && !info.isFile())
        return DimraMqtt::tr("the CA file %1 is a folder or a device; name the file of the CA's certificate").arg(caFile);
    QFile file(caFile);
    if (!file.open(QIODevice::ReadOnly))
        return DimraMqtt::tr("cannot read the CA file %1: %2").arg(caFile, file.errorString());
    // TLS reads the CA's certificates in PEM: base64 between these lines.
    static const QRegularExpression pem(QStringLiteral("-----BEGIN (?:TRUSTED )?CERTIFICATE-----([A-Za-z0-9+/=\\s]+)"
                                                       "-----END (?:TRUSTED )?CERTIFICATE-----"));
    const QRegularExpressionMatch match = pem.match(QString::fromLatin1(file.read(kMaxCaBytes)));
    const QByteArray base64 = match.captured(1).toLatin1().simplified().replace(' ', QByteArray());
    const QByteArray::FromBase64Result der = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
    if (!match.hasMatch() || !der || !der.decoded.startsWith('\x30')) // a certificate is a DER sequence
        return DimraMqtt::tr("the CA file %1 holds no certificate in PEM format").arg(caFile);
    return std::nullopt;
}

QString accessWarning(const QString &file, QFileDevice::Permissions permissions)
{
    if (!(permissions & (QFileDevice::ReadGroup | QFileDevice::ReadOther)))
        return QString();
    return DimraMqtt::tr("warning: %1 can be read by others than its owner; \"chmod go-rwx %1\" keeps it to its owner")
        .arg(file);
}

QStringList accessWarnings(const BridgeConfig &config)
{
    QStringList warnings;
    const QString credentials = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
    for (const QString &file : {config.configFile, config.passwordFile}) {
        const QFileInfo info(file);
        if (file.isEmpty() || !info.exists()
            || (!credentials.isEmpty() && info.absoluteFilePath().startsWith(credentials + QLatin1Char('/'))))
            continue;
        if (const QString warning = accessWarning(file, info.permissions()); !warning.isEmpty())
            warnings.append(warning);
    }
    return warnings;
}

BridgeParse loadBridgeConfig(const QString &file)
{
    QFile in(file);
    if (!QFileInfo(file).isFile() || !in.open(QIODevice::ReadOnly))
        return failure(DimraMqtt::tr("cannot read the configuration file %1").arg(file));
    if (in.size() > kMaxConfigBytes)
        return failure(DimraMqtt::tr("%1 has %2 bytes; a configuration has at most %3").arg(file).arg(in.size()).arg(kMaxConfigBytes));
    QString error;
    const std::optional<QList<IniSection>> sections = readIni(file, in.readAll(), &error);
    if (!sections)
        return failure(error);

    BridgeConfig config;
    // However the file is named (relative, through a link), one file is one bridge.
    config.configFile = QFileInfo(file).canonicalFilePath();
    QList<PlacedBoard> boards;
    QHash<QString, int> portLines; // device -> the line of its port
    int hostLine = 0;
    for (const IniSection &section : *sections) {
        const QString &group = section.name;
        auto at = [&](const IniEntry &entry) { return QStringLiteral("%1:%2").arg(file).arg(entry.line); };
        auto unknownKey = [&](const IniEntry &entry) {
            return failure(DimraMqtt::tr("%1: unknown key \"%2\" in [%3]").arg(at(entry), entry.key, group));
        };
        auto badValue = [&](const IniEntry &entry, const QString &what) {
            return failure(DimraMqtt::tr("%1: [%2] %3 must be %4").arg(at(entry), group, entry.key, what));
        };
        if (group == QLatin1String("broker")) {
            for (const IniEntry &entry : section.entries) {
                if (entry.key == QLatin1String("host")) {
                    config.host = entry.value;
                    hostLine = entry.line;
                } else if (entry.key == QLatin1String("port")) {
                    bool ok = false;
                    config.port = entry.value.toInt(&ok);
                    if (!ok || config.port < 1 || config.port > 65535)
                        return badValue(entry, DimraMqtt::tr("a number from 1 to 65535"));
                } else if (entry.key == QLatin1String("ca_file")) {
                    config.caFile = entry.value;
                } else if (entry.key == QLatin1String("user")) {
                    config.user = entry.value;
                } else if (entry.key == QLatin1String("password_file")) {
                    config.passwordFile = entry.value;
                } else if (entry.key == QLatin1String("bridge_id")) {
                    config.bridgeId = entry.value;
                    if (const std::optional<QString> problem = bridgeIdProblem(entry.value))
                        return failure(QStringLiteral("%1: %2").arg(at(entry), *problem));
                } else {
                    return unknownKey(entry);
                }
            }
        } else if (group == QLatin1String("discovery")) {
            for (const IniEntry &entry : section.entries) {
                if (entry.key == QLatin1String("enabled")) {
                    const std::optional<bool> on = boolValue(entry.value);
                    if (!on)
                        return badValue(entry, DimraMqtt::tr("true or false"));
                    config.discovery = *on;
                } else if (entry.key == QLatin1String("prefix")) {
                    config.discoveryPrefix = entry.value;
                    if (!isValidTopicPrefix(entry.value))
                        return badValue(entry, DimraMqtt::tr("words of letters, digits, - and _ with / between them, "
                                                             "at most %1 characters in all").arg(kMaxIdLength));
                } else {
                    return unknownKey(entry);
                }
            }
        } else if (group.startsWith(QLatin1String("board."))) {
            if (group == QLatin1String("board."))
                return failure(DimraMqtt::tr("%1:%2: [board.] names no board; a board's section is [board.NAME]")
                                   .arg(file).arg(section.line));
            BridgeBoardConfig board;
            bool idGiven = false;
            QString idPlace = QStringLiteral("id=");
            int portLine = section.line; // until a port= names it
            for (const IniEntry &entry : section.entries) {
                if (entry.key == QLatin1String("port")) {
                    board.port = entry.value;
                    portLine = entry.line;
                } else if (entry.key == QLatin1String("id")) {
                    board.id = entry.value;
                    idGiven = true;
                    idPlace = at(entry);
                } else if (entry.key == QLatin1String("name")) {
                    board.name = entry.value;
                } else if (entry.key == QLatin1String("restore")) {
                    const std::optional<bool> on = boolValue(entry.value);
                    if (!on)
                        return badValue(entry, DimraMqtt::tr("true or false"));
                    board.restore = *on;
                } else {
                    return unknownKey(entry);
                }
            }
            const QString portPlace = QStringLiteral("%1:%2").arg(file).arg(portLine);
            if (board.port.isEmpty())
                return failure(DimraMqtt::tr("%1: [%2] has no port").arg(portPlace, group));
            if (const std::optional<QString> problem = settleBoard(&board, idGiven, portPlace, idPlace))
                return failure(*problem);
            // A second board on a device would find it in use for as long as the bridge runs.
            const QString device = portDevice(board.port);
            if (const int first = portLines.value(device); first > 0)
                return failure(DimraMqtt::tr("%1: %2 is the port of the board on line %3 too; one port serves one board")
                                   .arg(portPlace, board.port).arg(first));
            portLines.insert(device, portLine);
            boards.append({board, idGiven ? idPlace : portPlace});
        } else {
            return failure(DimraMqtt::tr("%1:%2: unknown section [%3]; the sections are [broker], [discovery] and [board.NAME]")
                               .arg(file).arg(section.line).arg(group));
        }
    }
    if (config.host.isEmpty())
        return failure(DimraMqtt::tr("%1:%2: [broker] host is empty").arg(file).arg(hostLine));
    return checked(config, boards);
}

namespace {

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

CCommandLine bridgeCommandLine()
{
    return CCommandLine(
        QStringLiteral("dimra-mqtt"),
        {QStringLiteral("-p PORT [--id ID] [--bridge-id ID] [--broker HOST[:PORT]] [--no-discovery] [--restore]"),
         QStringLiteral("-c FILE")},
        DimraMqtt::tr("Puts Dimra PWM LED dimmer boards on an MQTT broker: each board's values as retained state "
                      "under dimra/<id>/, commands from dimra/<id>/set, one Home Assistant light per channel and "
                      "Home Assistant discovery."));
}

void define(CCommandLine &commandLine)
{
    commandLine.addOption({{QStringLiteral("p"), kPort}, QStringLiteral("PORT"),
                           DimraMqtt::tr("the board's port: a device path, a /dev/serial/by-id path, or COM1 to "
                                         "COM%1 as in the Dimra window")
                               .arg(kCommPortMax)});
    commandLine.addOption({{kId}, QStringLiteral("ID"),
                           DimraMqtt::tr("the board's id in topics (default: from the port's name, so that it "
                                         "stays across replug and reboot)")});
    commandLine.addOption({{kBridgeId}, QStringLiteral("ID"),
                           DimraMqtt::tr("this bridge's own id, for its status topic and last will (default: from "
                                         "the host's name and the board's id, so that it stays when run again)")});
    commandLine.addOption({{kBroker}, QStringLiteral("HOST[:PORT]"),
                           DimraMqtt::tr("the broker (default localhost, port %1)").arg(kDefaultBrokerPort)});
    commandLine.addOption({{kCaFile}, QStringLiteral("FILE"),
                           DimraMqtt::tr("TLS to the broker, its certificate checked with FILE")});
    commandLine.addOption({{kUser}, QStringLiteral("USER"), DimraMqtt::tr("the user name at the broker")});
    commandLine.addOption({{kPasswordFile}, QStringLiteral("FILE"), DimraMqtt::tr("the password, first line of FILE")});
    commandLine.addOption({{kNoDiscovery}, QString(), DimraMqtt::tr("no Home Assistant discovery configs")});
    commandLine.addOption({{kRestore}, QString(),
                           DimraMqtt::tr("send the values last commanded again whenever the board links, after a "
                                         "replug and after a restart (remembered in the broker's retained state)")});
    commandLine.addOption({{QStringLiteral("c"), kConfig}, QStringLiteral("FILE"),
                           DimraMqtt::tr("several boards and the broker from FILE (INI format; see "
                                         "/usr/share/doc/dimra/examples/mqtt.conf)")});
    commandLine.addSection(DimraMqtt::tr("Topics, for a board with id ID:"),
                           {{QStringLiteral("dimra/ID/state"),
                             DimraMqtt::tr("retained {\"linked\":true,\"frequency\":1000,\"ch1\":40,...}, null for "
                                           "a value not known yet")},
                            {QStringLiteral("dimra/ID/set"),
                             DimraMqtt::tr("{\"frequency\":2000,\"ch1\":40}: any of the four keys")},
                            {QStringLiteral("dimra/ID/chN"),
                             DimraMqtt::tr("retained {\"state\":\"ON\",\"brightness\":40} (N = 1, 2, 3)")},
                            {QStringLiteral("dimra/ID/chN/set"),
                             DimraMqtt::tr("{\"state\":\"ON\",\"brightness\":40,\"transition\":2}, "
                                           "{\"state\":\"OFF\"}; transition fades, in seconds")},
                            {QStringLiteral("dimra/ID/availability"), DimraMqtt::tr("retained online / offline")},
                            {QStringLiteral("dimra/ID/error"), DimraMqtt::tr("why a command was refused")},
                            {QStringLiteral("dimra/bridge/BRIDGE/status"),
                             DimraMqtt::tr("retained online / offline, the bridge's own")}});
    commandLine.addEpilog(DimraMqtt::tr("Ids are 1 to %1 letters, digits, - and _.\nA board that another running "
                                        "bridge serves is left to it.\nSIGTERM or Ctrl+C publish offline, send what "
                                        "waits for the lines and exit.")
                              .arg(kMaxIdLength));
}

} // namespace

BridgeParse parseBridgeArguments(const QStringList &arguments)
{
    CCommandLine parser = bridgeCommandLine();
    define(parser);
    if (BridgeParse read = BridgeParse::read(parser, arguments); read.outcome != CCommandLine::Run) {
        read.error = PrintableText(read.error, false);
        return read;
    }
    if (!parser.positionalArguments().isEmpty())
        return failure(DimraMqtt::tr("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    if (parser.isSet(kConfig)) {
        for (const QString &option : {kPort, kId, kBridgeId, kBroker, kCaFile, kUser, kPasswordFile, kNoDiscovery, kRestore})
            if (parser.isSet(option))
                return failure(DimraMqtt::tr("--%1 goes with -p; with -c the file says it").arg(option));
        return loadBridgeConfig(parser.value(kConfig));
    }
    if (!parser.isSet(kPort))
        return failure(DimraMqtt::tr("name the board with -p PORT, or several in a file with -c FILE"));

    BridgeConfig result;
    if (parser.isSet(kBroker) && !parseBrokerAddress(parser.value(kBroker), &result.host, &result.port))
        return failure(DimraMqtt::tr("--broker takes HOST or HOST:PORT with a port from 1 to 65535, not \"%1\"")
                           .arg(parser.value(kBroker)));
    if (result.host.isEmpty())
        return failure(DimraMqtt::tr("--broker names no host"));
    result.caFile = parser.value(kCaFile);
    result.user = parser.value(kUser);
    result.passwordFile = parser.value(kPasswordFile);
    result.discovery = !parser.isSet(kNoDiscovery);
    if (parser.isSet(kBridgeId)) {
        result.bridgeId = parser.value(kBridgeId);
        if (const std::optional<QString> problem = bridgeIdProblem(result.bridgeId))
            return failure(QStringLiteral("--bridge-id: %1").arg(*problem));
    }
    BridgeBoardConfig board;
    board.port = parser.value(kPort);
    board.id = parser.value(kId);
    board.restore = parser.isSet(kRestore);
    if (const std::optional<QString> problem = settleBoard(&board, parser.isSet(kId), QStringLiteral("--port"), QStringLiteral("--id")))
        return failure(*problem);
    return checked(result, {{board, QStringLiteral("--port")}});
}

QString bridgeHelpText()
{
    CCommandLine commandLine = bridgeCommandLine();
    define(commandLine);
    return commandLine.helpText();
}

#include "bridgeconfig.h"

#include "bridgemessages.h"
#include "commport.h"
#include "inireader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSysInfo>

namespace {

// A CA's certificate is looked for in this much of its file; a bundle of
// every public CA has a few hundred kilobytes.
constexpr qint64 kMaxCaBytes = 16 << 20;

// A refusal quotes the file as it is; ParseBridgeArguments shows it.
constexpr auto failure = &BridgeParse::refused;

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
    return {CCommandLine::Run, config, QString()};
}

// What a port leads to now, COMn resolved once for all that is made of it:
// the device, so that two names of one device (a by-id link and its node,
// COMn and the node it opens) are one port (while it leads nowhere, the
// port as named); and, withId, the id a board on it gets when none is
// configured (derivedBoardId).
struct PortLead
{
    QString device;
    QString id;
};

PortLead leadOf(const QString &port, bool withId)
{
    QString device = port;
    QString linkName;
    if (const int n = CommPortNumber(port).value_or(0); n > 0) {
        const CommPortTarget target = ResolveCommPort(n);
        // A number with no device, or one that is the device itself (on
        // Windows, COMn is): named by the number, whether or not the
        // adapter is plugged in.
        if (target.device.isEmpty() || target.device == CommPortName(n))
            return {CommPortName(n), QStringLiteral("com%1").arg(n)};
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
    const QFileInfo info(device);
    const QString byIdLink = withId && linkName.isEmpty() ? BridgeConfigPlatform::byIdLink(device) : QString();
    return {info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath()),
            withId ? derivedBoardId(linkName, QFileInfo(byIdLink).fileName(), info.fileName()) : QString()};
}

// The port checked and the id given or made from it; the error names place.
// device, when asked for, is where the port leads (leadOf).
std::optional<QString> settleBoard(BridgeBoardConfig *board, bool idGiven, const QString &place, const QString &idPlace,
                                   QString *device = nullptr)
{
    if (board->port.isEmpty())
        return DimraMqtt::tr("%1 names no port").arg(place);
    if (!CommPortNumber(board->port))
        return DimraMqtt::tr("%1: there is no port %2; the ports are COM1 to COM%3, or give a device path")
            .arg(place, board->port)
            .arg(kCommPortMax);
    if (!idGiven || device) {
        const PortLead lead = leadOf(board->port, !idGiven);
        board->id = idGiven ? board->id : lead.id;
        if (device)
            *device = lead.device;
    }
    if (const std::optional<QString> problem = boardIdProblem(board->id))
        return idGiven ? QStringLiteral("%1: %2").arg(idPlace, *problem)
                       : DimraMqtt::tr("%1: the id made from the port, %2; give one with %3")
                             .arg(place, *problem, idPlace);
    return std::nullopt;
}

} // namespace

BridgeParse oneBoardConfig(const BridgeConfig &config, BridgeBoardConfig board, bool idGiven)
{
    const QString place = QStringLiteral("--port");
    if (const std::optional<QString> problem = settleBoard(&board, idGiven, place, QStringLiteral("--id")))
        return failure(*problem);
    return checked(config, {{board, place}});
}

QString bridgeIdOf(const BridgeConfig &config)
{
    if (!config.bridgeId.isEmpty())
        return config.bridgeId;
    // The configuration file names a bridge; without one, its single board does.
    const QString instance = !config.configFile.isEmpty() ? QStringLiteral("file ") + config.configFile
                                                          : QStringLiteral("board ") + config.boards.value(0).id;
    return defaultBridgeId(QSysInfo::machineHostName(), instance);
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
    return leadOf(port, true).id;
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
    QByteArray line = file.read(4096).split('\n').constFirst();
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

QStringList accessWarnings(const BridgeConfig &config)
{
    QStringList warnings;
    const QString credentials = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
    for (const QString &file : {config.configFile, config.passwordFile}) {
        const QFileInfo info(file);
        if (file.isEmpty() || !info.exists()
            || (!credentials.isEmpty() && info.absoluteFilePath().startsWith(credentials + QLatin1Char('/'))))
            continue;
        if (const QString warning = BridgeConfigPlatform::accessWarning(file); !warning.isEmpty())
            warnings.append(warning);
    }
    return warnings;
}

BridgeParse loadBridgeConfig(const QString &file)
{
    QString error;
    const std::optional<QList<IniSection>> sections = readIniFile(file, &error);
    if (!sections)
        return failure(error);

    BridgeConfig config;
    // However the file is named (relative, through a link), one file is one bridge.
    config.configFile = QFileInfo(file).canonicalFilePath();
    BridgeBoardConfig board; // of the [board.NAME] being read
    // The keys of each section ("board" for every [board.NAME]) that take
    // text as written, and those that take true or false; broker/port takes
    // a port number.
    const QHash<QString, QString *> texts{
        {QStringLiteral("broker/host"), &config.host}, {QStringLiteral("broker/ca_file"), &config.caFile},
        {QStringLiteral("broker/user"), &config.user}, {QStringLiteral("broker/password_file"), &config.passwordFile},
        {QStringLiteral("broker/bridge_id"), &config.bridgeId}, {QStringLiteral("broker/presets"), &config.presetsFile},
        {QStringLiteral("discovery/prefix"), &config.discoveryPrefix}, {QStringLiteral("board/port"), &board.port},
        {QStringLiteral("board/id"), &board.id}, {QStringLiteral("board/name"), &board.name}};
    const QHash<QString, bool *> truths{{QStringLiteral("discovery/enabled"), &config.discovery},
                                        {QStringLiteral("board/restore"), &board.restore}};
    QHash<QString, int> lines; // section/key -> its line: [broker]'s, and the board's being read
    QList<PlacedBoard> boards;
    QHash<QString, int> portLines; // device -> the line of its port
    for (const IniSection &section : *sections) {
        const QString &group = section.name;
        const bool isBoard = group.startsWith(QLatin1String("board."));
        if (group == QLatin1String("board."))
            return failure(DimraMqtt::tr("%1:%2: [board.] names no board; a board's section is [board.NAME]")
                               .arg(file).arg(section.line));
        if (!isBoard && group != QLatin1String("broker") && group != QLatin1String("discovery"))
            return failure(DimraMqtt::tr("%1:%2: unknown section [%3]; the sections are [broker], [discovery] and [board.NAME]")
                               .arg(file).arg(section.line).arg(group));
        board = BridgeBoardConfig();
        lines.insert(QStringLiteral("board/port"), section.line); // a board's place until a port= names it
        for (const IniEntry &entry : section.entries) {
            const QString key = (isBoard ? QStringLiteral("board") : group) + QLatin1Char('/') + entry.key;
            const QString at = QStringLiteral("%1:%2").arg(file).arg(entry.line);
            std::optional<QString> mustBe; // what a value refused must be
            if (QString *text = texts.value(key)) {
                *text = entry.value;
            } else if (bool *truth = truths.value(key)) {
                const std::optional<bool> on = iniBool(entry.value);
                *truth = on.value_or(*truth);
                if (!on)
                    mustBe = DimraMqtt::tr("true or false");
            } else if (key == QLatin1String("broker/port")) {
                bool ok = false;
                config.port = entry.value.toInt(&ok);
                if (!ok || config.port < 1 || config.port > 65535)
                    mustBe = DimraMqtt::tr("a number from 1 to 65535");
            } else {
                return failure(DimraMqtt::tr("%1: unknown key \"%2\" in [%3]").arg(at, entry.key, group));
            }
            if (key == QLatin1String("discovery/prefix") && !isValidTopicPrefix(entry.value))
                mustBe = DimraMqtt::tr("words of letters, digits, - and _ with / between them, "
                                       "at most %1 characters in all").arg(kMaxIdLength);
            if (mustBe)
                return failure(DimraMqtt::tr("%1: [%2] %3 must be %4").arg(at, group, entry.key, *mustBe));
            if (key == QLatin1String("broker/bridge_id"))
                if (const std::optional<QString> problem = bridgeIdProblem(entry.value))
                    return failure(QStringLiteral("%1: %2").arg(at, *problem));
            lines.insert(key, entry.line);
        }
        if (!isBoard)
            continue;
        const int idLine = lines.take(QStringLiteral("board/id"));
        const QString idPlace = idLine > 0 ? QStringLiteral("%1:%2").arg(file).arg(idLine) : QStringLiteral("id=");
        const int portLine = lines.value(QStringLiteral("board/port"));
        const QString portPlace = QStringLiteral("%1:%2").arg(file).arg(portLine);
        if (board.port.isEmpty())
            return failure(DimraMqtt::tr("%1: [%2] has no port").arg(portPlace, group));
        QString device;
        if (const std::optional<QString> problem = settleBoard(&board, idLine > 0, portPlace, idPlace, &device))
            return failure(*problem);
        // A second board on a device would find it in use for as long as the bridge runs.
        if (const int first = portLines.value(device); first > 0)
            return failure(DimraMqtt::tr("%1: %2 is the port of the board on line %3 too; one port serves one board")
                               .arg(portPlace, board.port).arg(first));
        portLines.insert(device, portLine);
        boards.append({board, idLine > 0 ? idPlace : portPlace});
    }
    if (config.host.isEmpty())
        return failure(DimraMqtt::tr("%1:%2: [broker] host is empty")
                           .arg(file).arg(lines.value(QStringLiteral("broker/host"))));
    return checked(config, boards);
}


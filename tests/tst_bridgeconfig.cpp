#include "bridgeoptions.h"
#include "bridgemessages.h"
#include "envoverride.h"
#include "inireader.h"
#include "presetfile.h"
#ifdef Q_OS_UNIX
#include "devicetree.h"
#include "ptypair.h"
#endif

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

// dimra-mqtt's command line and configuration file, checked whole before
// anything opens; the ids boards get; the password read from a file only.
class tst_BridgeConfig : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data();
    void arguments();
    void configFile_data();
    void configFile();
    void iniFile_data();
    void iniFile();
    void thePasswordIsTheFirstLineOfItsFileOrTheCredential();
#ifdef Q_OS_UNIX
    void aLinkNamesTheBoardWhateverDeviceItLeadsTo();
    void filesOthersMayReadAreNamedWithTheirChmod_data();
    void filesOthersMayReadAreNamedWithTheirChmod();
#else
    void filesOthersMayReadAreNamedWithTheirIcacls_data();
    void filesOthersMayReadAreNamedWithTheirIcacls();
#endif

private:
    QTemporaryDir m_dir;
};

namespace {

// A parse as one line: the broker, discovery, and each board.
QString describe(const BridgeParse &parse)
{
    switch (parse.outcome) {
    case CCommandLine::Help: return QStringLiteral("help");
    case CCommandLine::Version: return QStringLiteral("version");
    case CCommandLine::Error: return QStringLiteral("error");
    case CCommandLine::Run: break;
    }
    const BridgeConfig &c = parse.options;
    QStringList parts{QStringLiteral("%1:%2").arg(c.host).arg(c.port)};
    if (!c.bridgeId.isEmpty())
        parts << QStringLiteral("bridge=") + c.bridgeId;
    if (!c.discovery)
        parts << QStringLiteral("no-discovery");
    else if (c.discoveryPrefix != QLatin1String("homeassistant"))
        parts << QStringLiteral("prefix=") + c.discoveryPrefix;
    for (const QString &field : {c.caFile, c.user, c.passwordFile})
        if (!field.isEmpty())
            parts << field;
    if (c.presetsFile != (c.configFile.isEmpty() ? CPresetFile::userPath() : QString())) // not the user's with -p, none from a file
        parts << QStringLiteral("presets=") + c.presetsFile;
    for (const BridgeBoardConfig &b : c.boards)
        parts << QStringLiteral("[%1 %2 \"%3\"%4]").arg(b.port, b.id, b.name, b.restore ? QStringLiteral(" restore") : QString());
    return parts.join(QLatin1Char(' '));
}

} // namespace

void tst_BridgeConfig::arguments_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("errorNames");

    QTest::newRow("one board, broker by default") << "-p /nonexistent/dimra-lab" << "localhost:1883 [/nonexistent/dimra-lab dimra-lab \"Dimra dimra-lab\"]" << "";
    QTest::newRow("every option")
        << "-p COM3 --id lab --broker mqtt.lab:8883 --restore --no-discovery --ca-file /ca.pem --user u --password-file /pw"
        << "mqtt.lab:8883 no-discovery /ca.pem u /pw [COM3 lab \"Dimra lab\" restore]" << "";
    QTest::newRow("IPv6 broker, a bridge id") << "-p COM1 --id a --broker [::1]:1884 --bridge-id lab-pc_2" << "::1:1884 bridge=lab-pc_2 [COM1 a \"Dimra a\"]" << "";
    QTest::newRow("broker port 0") << "-p COM1 --broker h:0" << "error" << "h:0";
    QTest::newRow("a broker port left empty") << "-p COM1 --broker h:" << "error" << "not \"h:\"";
    QTest::newRow("a bare IPv6 broker") << "-p COM1 --id a --broker fd00::7" << "fd00::7:1883 [COM1 a \"Dimra a\"]" << "";
    QTest::newRow("COM257") << "-p COM257" << "error" << "COM257";
    QTest::newRow("COM0") << "-p COM0" << "error" << "no port COM0";
    // The highest number is taken, and with no device it names the board still.
    QTest::newRow("COM256") << "-p COM256" << "localhost:1883 [COM256 com256 \"Dimra com256\"]" << "";
    QTest::newRow("id of the bridges") << "-p COM1 --id bridge" << "error" << "bridge";
    QTest::newRow("a password on the command line") << "-p COM1 --password secret" << "error" << "password";
    QTest::newRow("no board") << "--broker h" << "error" << "-p";
    QTest::newRow("a bridge id with a dot") << "-p COM1 --bridge-id lab.pc" << "error" << "--bridge-id";
    QTest::newRow("an id of 70000 characters") << "-p COM1 --id " + QString(70000, QLatin1Char('a')) << "error" << "--id";
    QTest::newRow("an id made from the port, too long")
        << "-p /nonexistent/" + QString(65, QLatin1Char('a')) << "error" << "--id";
    QTest::newRow("file and port") << "-c /etc/dimra/mqtt.conf -p COM1" << "error" << "--port";
    QTest::newRow("a presets file") << "-p COM1 --id a --presets /lab/presets.json" << "localhost:1883 presets=/lab/presets.json [COM1 a \"Dimra a\"]" << "";
    QTest::newRow("a file named with an escape") << "-c /nonexistent/\x1b[2J" << "error" << "/nonexistent/\\x1b[2J";
    QTest::newRow("help") << "--help" << "help" << "";
}

void tst_BridgeConfig::arguments()
{
    QFETCH(QString, line);
    QFETCH(QString, expected);
    QFETCH(QString, errorNames);
    const BridgeParse parse = ParseBridgeArguments(QStringList{QStringLiteral("dimra-mqtt")} + line.split(QLatin1Char(' ')));
    QCOMPARE(describe(parse), expected);
    QVERIFY2(parse.error.contains(errorNames), qPrintable(parse.error));
}

void tst_BridgeConfig::configFile_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("errorNames");

    QTest::newRow("two boards, everything set")
        << "[broker]\nhost=mqtt.lab\nport=8883\nca_file=/etc/dimra/ca.pem\nuser=dimra\npassword_file=/etc/dimra/pw\n"
           "[discovery]\nprefix=ha\n"
           "[board.left]\nport=COM2\nid=left\nname=Left, bench\nrestore=yes\n"
           "[board.right]\nport=/nonexistent/right-board\n"
        << "mqtt.lab:8883 prefix=ha /etc/dimra/ca.pem dimra /etc/dimra/pw [COM2 left \"Left, bench\" restore] "
           "[/nonexistent/right-board right-board \"Dimra right-board\"]"
        << "";
    QFile example(QStringLiteral(DIMRA_EXAMPLE_CONFIG));
    QVERIFY(example.open(QIODevice::ReadOnly));
    QTest::newRow("the shipped example") << QString::fromUtf8(example.readAll())
                                         << "localhost:1883 [/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0 bench \"Bench light\" restore]" << "";
    QFile windowsExample(QStringLiteral(DIMRA_WINDOWS_EXAMPLE_CONFIG));
    QVERIFY(windowsExample.open(QIODevice::ReadOnly));
    QTest::newRow("the example for Windows") << QString::fromUtf8(windowsExample.readAll())
                                             << "localhost:1883 [COM3 bench \"Bench light\" restore]" << "";
    QTest::newRow("defaults, discovery off") << "[discovery]\nenabled=false\n[board.a]\nport=COM1\nid=a\n"
                                             << "localhost:1883 no-discovery [COM1 a \"Dimra a\"]" << "";
    QTest::newRow("a presets file") << "[broker]\npresets=/etc/dimra/presets.json\n[board.a]\nport=COM1\nid=a\n"
                                    << "localhost:1883 presets=/etc/dimra/presets.json [COM1 a \"Dimra a\"]" << "";
    QTest::newRow("a mistyped key") << "[broker]\nhots=mqtt\n[board.a]\nport=COM1\n" << "error" << "hots";
    QTest::newRow("an unknown section") << "[boards]\nport=COM1\n" << "error" << "boards";
    QTest::newRow("two boards, one id") << "[board.a]\nport=COM1\nid=x\n[board.b]\nport=COM2\nid=x\n" << "error" << "x";
    QTest::newRow("a board without a port") << "[board.a]\nid=a\n" << "error" << "board.a";
    QTest::newRow("broker port out of range") << "[broker]\nport=70000\n[board.a]\nport=COM1\n" << "error" << "port";
    QTest::newRow("truth values in any case") << "[discovery]\nenabled=OFF\n[board.a]\nport=COM1\nid=a\nrestore=1\n"
                                              << "localhost:1883 no-discovery [COM1 a \"Dimra a\" restore]" << "";
    QTest::newRow("restore not a truth value") << "[board.a]\nport=COM1\nrestore=maybe\n" << "error" << "restore";
    QTest::newRow("no board") << "[broker]\nhost=mqtt\n" << "error" << "board";
    // Refusals name the file's line, and both lines of what is given twice.
    QTest::newRow("a prefix the broker keeps for itself") << "[discovery]\nprefix=$SYS/x\n[board.a]\nport=COM1\n"
                                                          << "error" << ":2: [discovery] prefix";
    QTest::newRow("a prefix with an empty level") << "[discovery]\nprefix=home//x\n[board.a]\nport=COM1\n" << "error" << ":2:";
    QTest::newRow("an empty id in quotes") << "[board.a]\nport=COM1\nid=\"\"\n" << "error" << ":3: names no id";
    QTest::newRow("a bridge id with a dot") << "[broker]\nbridge_id=lab.pc\n[board.a]\nport=COM1\n" << "error" << ":2: \"lab.pc\"";
    // What is echoed shows its control characters escaped.
    QTest::newRow("a NUL after a value") << QString("[broker]\nport=1883") + QChar(0) + "\n[board.a]\nport=COM1\n" << "error"
                                        << ":2: the line holds the control character \\x00";
    QTest::newRow("a board section without its name") << "[board.]\nport=COM1\n" << "error" << ":1: [board.]";
    QTest::newRow("two boards on one port") << "[board.a]\nport=COM1\nid=a\n[board.b]\nid=b\nport=com1\n" << "error"
                                            << ":6: com1 is the port of the board on line 2 too";
    QTest::newRow("an empty port names its line") << "[board.a]\nid=a\nport=\n" << "error" << ":3: [board.a] has no port";
    QTest::newRow("COM257 names its line") << "[board.a]\nid=a\nport=COM257\n" << "error" << ":3: there is no port COM257";
    // More boards than a bridge's list of them may hold.
    QString boards;
    for (int i = 0; i <= kMaxBoards; ++i)
        boards += QStringLiteral("[board.b%1]\nport=/nonexistent/b%1\n").arg(i);
    QTest::newRow("257 boards") << boards << "error" << "257 boards; one bridge serves at most 256";
    // A file of 1 MiB is read; one byte more is no configuration.
    const QString oneBoard = QStringLiteral("[board.a]\nport=COM1\nid=a\n;");
    const QString mebibyte = oneBoard + QString((1 << 20) - oneBoard.size(), QLatin1Char('x'));
    QTest::newRow("a file of 1 MiB") << mebibyte << "localhost:1883 [COM1 a \"Dimra a\"]" << "";
    QTest::newRow("a file of 1 MiB and a byte") << mebibyte + QLatin1Char('x') << "error"
                                                << "has 1048577 bytes; a configuration has at most 1048576";
}

void tst_BridgeConfig::configFile()
{
    QFETCH(QString, content);
    QFETCH(QString, expected);
    QFETCH(QString, errorNames);
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_')));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(CommandLineBytes(content)); // U+DC80 + n writes the byte n, which is no UTF-8
    file.close();
    const BridgeParse parse = ParseBridgeArguments({QStringLiteral("dimra-mqtt"), QStringLiteral("-c"), path});
    QCOMPARE(describe(parse), expected);
    QVERIFY2(parse.error.contains(errorNames), qPrintable(parse.error));
}

void tst_BridgeConfig::iniFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected"); // each section and key after its line; for a refusal, what it names

    // Values as people write them: a comment after the value, quotes around one with a ';', \" and \\ in them.
    QTest::newRow("bridge id, a comment, a quoted name with \\\" and \\\\")
        << QByteArray("[broker]\nbridge_id=lab-pc ; the lab's PC\n[board.a]\nport=COM1\nid=a\nname=\"12\\\" rack; a\\\\b\"\n")
        << "1 [broker] 2 bridge_id=lab-pc 3 [board.a] 4 port=COM1 5 id=a 6 name=12\" rack; a\\b";
    // Only what is read exactly is taken; refusals name the file's line, and both lines of what is given twice.
    QTest::newRow("two [board.a] sections") << QByteArray("[board.a]\nport=COM1\n\n[board.a]\nid=b\n") << ":4: [board.a] again; it begins on line 1";
    QTest::newRow("a key twice") << QByteArray("[board.a]\nport=COM1\nport=COM2\n") << ":3: port again in [board.a]; it is on line 2";
    QTest::newRow("a line that is no setting") << QByteArray("[board.a]\nport COM1\n") << ":2:";
    QTest::newRow("a quote not closed") << QByteArray("[broker]\nhost=\"127.0.0.1\n[board.a]\nport=COM1\n") << ":2: the value of host";
    QTest::newRow("a section name not UTF-8") << QByteArray("[board.\xff]\nport=COM1\n") << ":1: the line is not UTF-8";
    QTest::newRow("\\n in quotes") << QByteArray("[board.a]\nport=COM1\nname=\"a\\nb\"\n") << ":3: the value of name holds the escape \\n";
    QTest::newRow("an escape before a character beyond 16 bits")
        << QByteArray("[board.a]\nname=\"\\\xf0\x9f\x98\x80\"\n") << QString::fromUtf8(":2: the value of name holds the escape \\\xf0\x9f\x98\x80;");
    QTest::newRow("a key before any section") << QByteArray("port=COM1\n[board.a]\n") << ":1: \"port\" stands outside a section";
    // A byte-order mark, comments of either kind and a tab inside a value are read as meant.
    QTest::newRow("a byte-order mark, comments, a tab")
        << QByteArray("\xef\xbb\xbf[board.a]\n# one\n ; two\nname=a\tb\n") << "1 [board.a] 4 name=a\tb";
    QTest::newRow("CRLF line ends, as Notepad writes them") << QByteArray("[board.a]\r\nname=\"a b\"\r\n") << "1 [board.a] 2 name=a b";
}

void tst_BridgeConfig::iniFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    QString error;
    QStringList read;
    for (const IniSection &section : readIni(QStringLiteral("mqtt.conf"), content, &error).value_or(QList<IniSection>())) {
        read << QStringLiteral("%1 [%2]").arg(section.line).arg(section.name);
        for (const IniEntry &entry : section.entries)
            read << QStringLiteral("%1 %2=%3").arg(entry.line).arg(entry.key, entry.value);
    }
    QVERIFY2(error.isEmpty() ? read.join(QLatin1Char(' ')) == expected : error.contains(expected), qPrintable(read.join(' ') + error));
}

#ifdef Q_OS_UNIX
void tst_BridgeConfig::aLinkNamesTheBoardWhateverDeviceItLeadsTo()
{
    const QString link = m_dir.filePath(QStringLiteral("usb-Dimra_Board_42-if00-port0"));
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), link));
    QCOMPARE(derivedBoardId(link), QStringLiteral("Dimra_Board_42"));
    QCOMPARE(derivedBoardId(QString(), QStringLiteral("usb-FTDI_X-if00-port0"), QStringLiteral("ttyUSB0")),
             QStringLiteral("FTDI_X"));
    // A device named by its own path, not a link: its name.
    QCOMPARE(derivedBoardId(QStringLiteral("/dev/null")), QStringLiteral("null"));

    // COMn: the adapter's stable link in the device folder names it, not
    // the node it has this time.
    DeviceTree devices;
    PtyPair line;
    QVERIFY(devices.isValid() && line.isValid());
    QVERIFY(devices.plug(QStringLiteral("serial/by-id/usb-Lab_Light_7-if00-port0"), line.slavePath()));
    QCOMPARE(derivedBoardId(QStringLiteral("COM1")), QStringLiteral("Lab_Light_7"));
    QCOMPARE(derivedBoardId(line.slavePath()), QStringLiteral("Lab_Light_7")); // the by-id link to the node
    PtyPair unnamed; // a node no by-id link leads to: its own name
    QCOMPARE(derivedBoardId(unnamed.slavePath()), QFileInfo(unnamed.slavePath()).fileName());
    QCOMPARE(derivedBoardId(QStringLiteral("COM2")), QStringLiteral("com2"));
}
#endif

void tst_BridgeConfig::thePasswordIsTheFirstLineOfItsFileOrTheCredential()
{
    auto write = [](const QString &path, const QByteArray &content) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    };
    QString error;
    const QString file = m_dir.filePath(QStringLiteral("password"));
    QVERIFY(write(file, "s3cret word\r\nsecond line\n"));
    QCOMPARE(readBrokerPassword(file, &error), std::optional<QString>(QStringLiteral("s3cret word")));
    QVERIFY(!readBrokerPassword(m_dir.filePath(QStringLiteral("missing")), &error));
    QVERIFY2(error.contains(QLatin1String("missing")), qPrintable(error));

    // systemd's credential when no file is named; none, no password.
    QTemporaryDir credentials;
    const EnvOverride credentialsDirectory("CREDENTIALS_DIRECTORY", QFile::encodeName(credentials.path()));
    QCOMPARE(readBrokerPassword(QString(), &error), std::optional<QString>(QString()));
    QVERIFY(write(credentials.filePath(QStringLiteral("mqtt-password")), "from systemd\n"));
    QCOMPARE(readBrokerPassword(QString(), &error), std::optional<QString>(QStringLiteral("from systemd")));
    QCOMPARE(readBrokerPassword(file, &error), std::optional<QString>(QStringLiteral("s3cret word")));
}

#ifdef Q_OS_UNIX
void tst_BridgeConfig::filesOthersMayReadAreNamedWithTheirChmod_data()
{
    QTest::addColumn<int>("permissions");
    QTest::addColumn<bool>("warned");
    QTest::addColumn<bool>("credential"); // the file is one of systemd's credentials, which systemd guards
    const int owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    QTest::newRow("0600") << owner << false << false;
    QTest::newRow("0640") << (owner | QFileDevice::ReadGroup) << true << false;
    QTest::newRow("0604") << (owner | QFileDevice::ReadOther) << true << false;
    QTest::newRow("0620, writable by the group only") << (owner | QFileDevice::WriteGroup) << false << false;
    QTest::newRow("0644, a credential") << (owner | QFileDevice::ReadGroup | QFileDevice::ReadOther) << true << true;
}

void tst_BridgeConfig::filesOthersMayReadAreNamedWithTheirChmod()
{
    QFETCH(int, permissions);
    QFETCH(bool, warned);
    const QString warning = accessWarning(QStringLiteral("/etc/dimra/mqtt.password"), QFileDevice::Permissions(permissions));
    QCOMPARE(!warning.isEmpty(), warned);
    QVERIFY2(!warned || warning.contains(QLatin1String("chmod go-rwx /etc/dimra/mqtt.password")), qPrintable(warning));

    // A password file on disk with these permissions is named at start, unless it is a credential.
    QFETCH(bool, credential);
    BridgeConfig config;
    config.passwordFile = m_dir.filePath(QStringLiteral("password-%1").arg(permissions, 0, 8));
    QFile file(config.passwordFile);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.setPermissions(QFileDevice::Permissions(permissions)));
    const EnvOverride credentials("CREDENTIALS_DIRECTORY", QFile::encodeName(credential ? m_dir.path() : QStringLiteral("/run/none")));
    QCOMPARE(accessWarnings(config).size(), warned && !credential ? 1 : 0);
}
#else
void tst_BridgeConfig::filesOthersMayReadAreNamedWithTheirIcacls_data()
{
    // The access list's entries that allow, as "SID:rights"; the owner is S-1-5-21-7-7-7-1001.
    QTest::addColumn<QStringList>("allowed");
    QTest::addColumn<QString>("named"); // the readers the warning names; none, no warning
    const QStringList keepers{"S-1-5-32-544:0x1f01ff", "S-1-5-18:0x1f01ff", "S-1-5-21-7-7-7-1001:0x1f01ff"};
    QTest::newRow("administrators, SYSTEM and the owner") << keepers << "";
    QTest::newRow("Users read, as ProgramData lets them") << keepers + QStringList{"S-1-5-32-545:0x1200a9"} << "S-1-5-32-545";
    QTest::newRow("Everyone, generic read") << QStringList{"S-1-1-0:0x80000000"} << "S-1-1-0";
    QTest::newRow("another user, generic all") << QStringList{"S-1-5-21-7-7-7-1002:0x10000000"} << "S-1-5-21-7-7-7-1002";
    QTest::newRow("Users may add data, not read it") << keepers + QStringList{"S-1-5-32-545:0x100116"} << "";
    QTest::newRow("Users twice, inherited and given, named once")
        << keepers + QStringList{"S-1-5-32-545:0x1200a9", "S-1-5-32-545:0x80000000"} << "S-1-5-32-545";
}

void tst_BridgeConfig::filesOthersMayReadAreNamedWithTheirIcacls()
{
    QFETCH(QStringList, allowed);
    QFETCH(QString, named);
    QList<FileAccessEntry> entries;
    for (const QString &entry : allowed)
        entries.append({entry.section(':', 0, 0), entry.section(':', 0, 0), entry.section(':', 1).toUInt(nullptr, 0)});
    const QString file = QStringLiteral("C:\\ProgramData\\Dimra\\mqtt.conf");
    const QString warning = accessWarning(file, QStringLiteral("S-1-5-21-7-7-7-1001"), entries);
    QCOMPARE(!warning.isEmpty(), !named.isEmpty());
    QVERIFY2(named.isEmpty() || (warning.contains(QStringLiteral("read by %1;").arg(named))
             && warning.contains(QStringLiteral("icacls \"%1\" /inheritance:r /grant:r *S-1-5-32-544:F *S-1-5-18:F").arg(file))),
             qPrintable(warning));
}
#endif

QTEST_GUILESS_MAIN(tst_BridgeConfig)
#include "tst_bridgeconfig.moc"

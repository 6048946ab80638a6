#include "commport.h"
#include "envoverride.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <numeric>

namespace {

// Found ports written short: "id:A=ttyUSB1" is the by-id link A to
// /dev/ttyUSB1, its product A unless "|product" follows; "path:..." a link
// in by-path; "ttyS0" a port without a stable name; "id:gone=" a link to
// nothing.
QList<FoundPort> found(const QStringList &entries)
{
    QList<FoundPort> ports;
    for (const QString &entry : entries) {
        const QString link = entry.section(QLatin1Char('|'), 0, 0);
        const QString name = link.section(QLatin1Char(':'), -1).section(QLatin1Char('='), 0, 0);
        const QString node = link.contains(QLatin1Char('=')) ? link.section(QLatin1Char('='), 1) : name;
        FoundPort port{FoundPort::Unnamed, QStringLiteral("/dev/") + name,
                       node.isEmpty() || node.startsWith('/') ? node : QStringLiteral("/dev/") + node,
                       entry.contains(QLatin1Char('|')) ? entry.section(QLatin1Char('|'), 1) : QString(), QString()};
        if (link.startsWith(QLatin1String("id:")) || link.startsWith(QLatin1String("path:"))) {
            port.kind = link.startsWith(QLatin1String("id:")) ? FoundPort::ById : FoundPort::ByPath;
            port.path = QStringLiteral("/dev/serial/by-%1/%2").arg(link.section(QLatin1Char(':'), 0, 0), name);
            if (port.kind == FoundPort::ById && port.product.isEmpty())
                port.product = name;
        }
        ports.append(port);
    }
    return ports;
}

} // namespace

class tst_CommPort : public QObject
{
    Q_OBJECT

private slots:
    void numbersFollowStableNames_data();
    void numbersFollowStableNames();
    void listReachesEveryPortThereIs_data();
    void listReachesEveryPortThereIs();
    void overrideWinsOverDetection_data();
    void overrideWinsOverDetection();
    void overrideComesFromTheEnvironment();
};

void tst_CommPort::numbersFollowStableNames_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QStringList>("entries"); // COM1, COM2, ... up to the first without a device

    QTest::newRow("by-id by name, then by-path, then ports without one")
        << QStringList{"ttyS0", "path:pci-1=ttyUSB2", "id:B=ttyUSB0", "id:A=ttyUSB1"}
        << QStringList{"COM1  ttyUSB1 · A", "COM2  ttyUSB0 · B", "COM3  ttyUSB2", "COM4  ttyS0", "COM5  （无设备）"};
    QTest::newRow("a virtual board linked in by-id")
        << QStringList{"id:usb-B=ttyUSB0", "id:dimra-board=/dev/pts/4"}
        << QStringList{"COM1  pts/4 · dimra-board", "COM2  ttyUSB0 · usb-B", "COM3  （无设备）"};
    QTest::newRow("built-in UARTs by number") << QStringList{"ttyS10", "ttyS2"}
                                              << QStringList{"COM1  ttyS2", "COM2  ttyS10", "COM3  （无设备）"};
    QTest::newRow("one number a device, none for a link to nothing")
        << QStringList{"ttyUSB0", "path:pci-a=ttyUSB0", "id:B=ttyUSB0", "id:A=ttyUSB0", "id:gone="}
        << QStringList{"COM1  ttyUSB0 · A", "COM2  （无设备）"};
    QTest::newRow("a long product by its first word")
        << QStringList{"id:usb-1a86=ttyUSB0|CH340 serial converter"} << QStringList{"COM1  ttyUSB0 · CH340", "COM2  （无设备）"};
}

void tst_CommPort::numbersFollowStableNames()
{
    QFETCH(QStringList, ports);
    QFETCH(QStringList, entries);
    const QList<FoundPort> ordered = OrderFoundPorts(found(ports));
    QStringList shown;
    for (int n = 1; n <= entries.size(); ++n) {
        const CommPortTarget t = ResolveCommPort(n, ordered, {});
        shown << CommPortEntryText(n, t);
        // The number keeps the stable name, and opens the node it leads to now.
        if (n <= ordered.size())
            QCOMPARE(std::make_pair(t.identity, t.device), std::make_pair(ordered.at(n - 1).path, ordered.at(n - 1).node));
    }
    QCOMPARE(shown, entries);
}

void tst_CommPort::listReachesEveryPortThereIs_data()
{
    QTest::addColumn<bool>("windows");
    QTest::addColumn<int>("devices");        // Linux: serial devices found, ttyUSB0 onwards
    QTest::addColumn<QList<int>>("present"); // Windows: the numbers a device answers to; Linux: DIMRA_COM<n> set
    QTest::addColumn<QList<int>>("listed");

    QList<int> twelve(12);
    std::iota(twelve.begin(), twelve.end(), 1);
    QTest::newRow("Windows: devices below 13 only") << true << 0 << QList<int>{3, 12} << twelve;
    QTest::newRow("Windows: COM15 and COM13, not COM14")
        << true << 0 << QList<int>{15, 2, 13} << twelve + QList<int>{13, 15};
    QTest::newRow("Windows: up to COM256") << true << 0 << QList<int>{300, 256, 257, 99} << twelve + QList<int>{99, 256};
    QTest::newRow("Linux: 14 devices") << false << 14 << QList<int>{} << twelve + QList<int>{13, 14};
    QTest::newRow("Linux: 2 devices and DIMRA_COM20") << false << 2 << QList<int>{20} << twelve + QList<int>{20};
}

void tst_CommPort::listReachesEveryPortThereIs()
{
    QFETCH(bool, windows);
    QFETCH(int, devices);
    QFETCH(QList<int>, present);
    QFETCH(QList<int>, listed);
    if (windows) {
        QCOMPARE(ListedCommPortNumbers(present), listed);
        return;
    }
    QStringList ports;
    QMap<int, QByteArray> overrides;
    for (int i = 0; i < devices; ++i)
        ports << QStringLiteral("ttyUSB%1").arg(i);
    for (const int n : std::as_const(present))
        overrides.insert(n, "/dev/pts/" + QByteArray::number(n));
    const CommPortTargets targets = ResolveListedCommPorts(OrderFoundPorts(found(ports)), overrides);
    QCOMPARE(targets.keys(), listed);
    // The devices in their order, the thirteenth at COM13 (ttyUSB2 before ttyUSB10).
    for (int n = 1; n <= devices; ++n)
        QCOMPARE(targets.value(n).device, QStringLiteral("/dev/ttyUSB%1").arg(n - 1));
}

void tst_CommPort::overrideWinsOverDetection_data()
{
    QTest::addColumn<QByteArray>("override");
    QTest::addColumn<QByteArray>("nativePath");
    const QByteArray cwd = QFile::encodeName(QDir::currentPath());
    QTest::newRow("absolute") << QByteArray("/dev/pts/7") << QByteArray("/dev/pts/7");
    // The file tried is the one the message names, not one below /dev.
    QTest::newRow("relative to the working directory") << QByteArray("relative/dev") << cwd + "/relative/dev";
    // Bytes that are not text reach the system unchanged.
    QTest::newRow("not UTF-8") << QByteArray("/tmp/port\xff") << QByteArray("/tmp/port\xff");
}

void tst_CommPort::overrideWinsOverDetection()
{
    QFETCH(QByteArray, override);
    QFETCH(QByteArray, nativePath);
    const CommPortTarget t = ResolveCommPort(1, found({"id:usb-A=ttyUSB0"}), override);
    QCOMPARE(t.nativePath, nativePath);
    QCOMPARE(t.device, QFile::decodeName(nativePath));
    QVERIFY(t.description.contains(QStringLiteral("DIMRA_COM1")));
    QCOMPARE(t.identity, t.device);
    QVERIFY(CommPortEntryText(1, t).endsWith(QStringLiteral(" · DIMRA_COM1")));
}

void tst_CommPort::overrideComesFromTheEnvironment()
{
    {
        const EnvOverride root("DIMRA_DEV_ROOT", "/nonexistent/dimra-dev");
        QVERIFY2(NoDeviceError(13).details().endsWith(QStringLiteral("/dev/ttyUSB0。现在没有一个端口有设备。")),
                 qPrintable(NoDeviceError(13).details()));
        const EnvOverride com12("DIMRA_COM12", "/dev/dimra-test-port");
        const EnvOverride com40("DIMRA_COM40", "/dev/dimra-test-port40");
        QCOMPARE(ResolveCommPort(12).device, QStringLiteral("/dev/dimra-test-port"));
        const CommPortTargets all = ResolveListedCommPorts();
        QCOMPARE(all.size(), 13);
        QCOMPARE(all.value(12).device, QStringLiteral("/dev/dimra-test-port"));
        QCOMPARE(all.last().device, QStringLiteral("/dev/dimra-test-port40"));
        // A number without a device names those that have one, the listed ones above COM12 among them.
        QCOMPARE(NoDeviceError(13).details().section(QStringLiteral("。"), 1, -1),
                 QStringLiteral("现在有设备的端口：COM12（dimra-test-port · DIMRA_COM12）、COM40（dimra-test-port40 · DIMRA_COM40）。"));
    }
    QVERIFY(ResolveCommPort(12).device != QStringLiteral("/dev/dimra-test-port"));
    QCOMPARE(CommPortVariable(12), QStringLiteral("DIMRA_COM12"));
}

QTEST_GUILESS_MAIN(tst_CommPort)
#include "tst_commport.moc"

#include "commport.h"
#include "envoverride.h"

#include <QDir>
#include <QFile>
#include <QTest>

Q_DECLARE_METATYPE(QList<FoundPort>)

namespace {

// A found port written short: "id:usb-A=ttyUSB0" is the link
// /dev/serial/by-id/usb-A to /dev/ttyUSB0, "path:..." one in by-path,
// "ttyS0" a port without a stable name, "id:gone=" a link to nothing.
FoundPort port(const QString &spec, const QString &product = QString())
{
    const QString kind = spec.section(QLatin1Char(':'), 0, 0);
    if (!spec.contains(QLatin1Char(':')))
        return {FoundPort::Unnamed, QStringLiteral("/dev/") + spec, QStringLiteral("/dev/") + spec, product, QString()};
    const QString name = spec.section(QLatin1Char(':'), 1).section(QLatin1Char('='), 0, 0);
    const QString node = spec.section(QLatin1Char('='), 1);
    const bool byId = kind == QLatin1String("id");
    return {byId ? FoundPort::ById : FoundPort::ByPath,
            QStringLiteral("/dev/serial/%1/%2").arg(byId ? "by-id" : "by-path", name),
            node.isEmpty() ? QString() : (node.startsWith('/') ? node : QStringLiteral("/dev/") + node), product,
            QString()};
}

QList<FoundPort> ports(const QStringList &specs)
{
    QList<FoundPort> list;
    for (const QString &spec : specs)
        list.append(port(spec));
    return list;
}

// What each number opens: "usb-A@ttyUSB1" (stable name @ node).
QStringList numbers(const QList<FoundPort> &found)
{
    const QList<FoundPort> ordered = OrderFoundPorts(found);
    QStringList list;
    for (int n = 1; n <= ordered.size(); ++n) {
        const CommPortTarget t = ResolveCommPort(n, ordered, {});
        list << QFileInfo(t.identity).fileName() + '@' + QFileInfo(t.device).fileName();
    }
    return list;
}

} // namespace

class tst_CommPort : public QObject
{
    Q_OBJECT

private slots:
    void numbersFollowStableNames_data();
    void numbersFollowStableNames();
    void sameAdapterKeepsItsNumber_data();
    void sameAdapterKeepsItsNumber();
    void entryShowsWhatTheNumberOpens_data();
    void entryShowsWhatTheNumberOpens();
    void shortProductNames_data();
    void shortProductNames();
    void emptyNumberSaysWhatToDo();
    void overrideWinsOverDetection_data();
    void overrideWinsOverDetection();
    void overrideComesFromTheEnvironment();
};

void tst_CommPort::numbersFollowStableNames_data()
{
    QTest::addColumn<QStringList>("found");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("by-id by name, then by-path, then ports without one")
        << QStringList{"ttyS0", "path:pci-0:1.0=ttyUSB2", "id:usb-B=ttyUSB0", "id:usb-A=ttyUSB1"}
        << QStringList{"usb-A@ttyUSB1", "usb-B@ttyUSB0", "pci-0:1.0@ttyUSB2", "ttyS0@ttyS0"};
    // Counted whatever node it leads to: a virtual board linked there too.
    QTest::newRow("a virtual board in by-id")
        << QStringList{"id:usb-B=ttyUSB0", "id:a-virtual-board=/dev/pts/4"}
        << QStringList{"a-virtual-board@4", "usb-B@ttyUSB0"};
    QTest::newRow("built-in UARTs by number") << QStringList{"ttyS10", "ttyS2", "ttyAMA0", "ttyS1"}
                                              << QStringList{"ttyAMA0@ttyAMA0", "ttyS1@ttyS1", "ttyS2@ttyS2",
                                                             "ttyS10@ttyS10"};
    QTest::newRow("a device takes one number however it is linked")
        << QStringList{"ttyUSB0", "path:pci-a=ttyUSB0", "id:usb-B=ttyUSB0", "id:usb-A=ttyUSB0"}
        << QStringList{"usb-A@ttyUSB0"};
    QTest::newRow("a link to nothing takes no number")
        << QStringList{"id:usb-A=", "id:usb-B=ttyUSB1"} << QStringList{"usb-B@ttyUSB1"};
}

void tst_CommPort::numbersFollowStableNames()
{
    QFETCH(QStringList, found);
    QFETCH(QStringList, expected);
    QCOMPARE(numbers(ports(found)), expected);
}

void tst_CommPort::sameAdapterKeepsItsNumber_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");

    QTest::newRow("two adapters replugged in the other order")
        << QStringList{"id:usb-A=ttyUSB0", "id:usb-B=ttyUSB1"} << QStringList{"id:usb-B=ttyUSB0", "id:usb-A=ttyUSB1"};
    QTest::newRow("back under a new node") << QStringList{"id:usb-A=ttyUSB0", "ttyS0"}
                                           << QStringList{"id:usb-A=ttyUSB3", "ttyS0"};
    QTest::newRow("by-path names swapped")
        << QStringList{"path:pci-1=ttyACM0", "path:pci-2=ttyACM1"} << QStringList{"path:pci-2=ttyACM0", "path:pci-1=ttyACM1"};
}

void tst_CommPort::sameAdapterKeepsItsNumber()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    const QList<FoundPort> first = OrderFoundPorts(ports(before));
    const QList<FoundPort> second = OrderFoundPorts(ports(after));
    QCOMPARE(second.size(), first.size());
    for (int n = 1; n <= first.size(); ++n) {
        const CommPortTarget was = ResolveCommPort(n, first, {});
        const CommPortTarget now = ResolveCommPort(n, second, {});
        QCOMPARE(now.identity, was.identity);
        // And it opens the node the adapter has now.
        const QString link = now.identity;
        const auto it = std::find_if(second.begin(), second.end(), [&](const FoundPort &p) { return p.path == link; });
        QCOMPARE(now.device, it->node);
    }
}

void tst_CommPort::entryShowsWhatTheNumberOpens_data()
{
    QTest::addColumn<QList<FoundPort>>("found");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("description");

    QList<FoundPort> ch340{port("id:usb-1a86_USB_Serial-if00-port0=ttyUSB0", "CH340 serial converter")};
    ch340.first().vendor = QStringLiteral("QinHeng Electronics");
    QTest::newRow("long product: its first word") << ch340 << 1 << "COM1  ttyUSB0 · CH340"
                                                  << "CH340 serial converter（QinHeng Electronics）";
    QTest::newRow("short product whole") << QList<FoundPort>{port("id:usb-FTDI=ttyUSB1", "FT232R USB UART")} << 1
                                         << "COM1  ttyUSB1 · FT232R USB UART" << "FT232R USB UART";
    QTest::newRow("pseudo-terminal") << QList<FoundPort>{port("id:dimra-board=/dev/pts/7", "dimra-board")} << 1
                                     << "COM1  pts/7 · dimra-board" << "dimra-board";
    QTest::newRow("nothing known") << QList<FoundPort>{port("ttyS0")} << 1 << "COM1  ttyS0" << "串口设备";
    QTest::newRow("no device") << QList<FoundPort>{port("ttyS0")} << 2 << "COM2  （无设备）" << "没有对应的设备";
}

void tst_CommPort::entryShowsWhatTheNumberOpens()
{
    QFETCH(QList<FoundPort>, found);
    QFETCH(int, n);
    QFETCH(QString, entry);
    QFETCH(QString, description);
    const CommPortTarget t = ResolveCommPort(n, OrderFoundPorts(found), {});
    QCOMPARE(CommPortEntryText(n, t), entry);
    QCOMPARE(t.description, description);
    QCOMPARE(t.device.isEmpty(), t.identity.isEmpty());
}

void tst_CommPort::shortProductNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("shortName");

    QTest::newRow("FTDI by-id") << "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0" << "FTDI FT232R USB UART A50285BI"
                                << "FTDI";
    QTest::newRow("ACM by-id") << "usb-Arduino__www.arduino.cc__0043_7563-if00" << "Arduino www.arduino.cc 0043 7563"
                               << "Arduino";
    QTest::newRow("CP2102 by-id") << "usb-Silicon_Labs_CP2102_USB_to_UART_Bridge_Controller_0001-if00-port0"
                                  << "Silicon Labs CP2102 USB to UART Bridge Controller 0001" << "Silicon";
    QTest::newRow("a name of the user's") << "dimra-board" << "dimra-board" << "dimra-board";
}

void tst_CommPort::shortProductNames()
{
    QFETCH(QString, name);
    QFETCH(QString, product);
    QFETCH(QString, shortName);
    QCOMPARE(ProductFromLinkName(name), product);
    QCOMPARE(ShortProductName(product), shortName);
}

void tst_CommPort::emptyNumberSaysWhatToDo()
{
    // What to do in the window in the text; the variable, for a shell, in
    // the details.
    const CSerialError e = NoDeviceError(3);
    QCOMPARE(e.kind(), CSerialError::NoSuchDevice);
    QVERIFY2(e.text().startsWith(QStringLiteral("COM3 ")) && e.text().contains(QStringLiteral("插上")), qPrintable(e.text()));
    QVERIFY(!e.text().contains(QStringLiteral("DIMRA_COM")));
    QVERIFY2(e.details().contains(QStringLiteral("DIMRA_COM3")), qPrintable(e.details()));
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
    const CommPortTarget t = ResolveCommPort(1, {port("id:usb-A=ttyUSB0")}, override);
    QCOMPARE(t.nativePath, nativePath);
    QCOMPARE(t.device, QFile::decodeName(nativePath));
    QVERIFY(t.description.contains(QStringLiteral("DIMRA_COM1")));
    QCOMPARE(t.identity, t.device);
    QVERIFY(CommPortEntryText(1, t).endsWith(QStringLiteral(" · DIMRA_COM1")));
}

void tst_CommPort::overrideComesFromTheEnvironment()
{
    {
        const EnvOverride com12("DIMRA_COM12", "/dev/dimra-test-port");
        QCOMPARE(ResolveCommPort(12).device, QStringLiteral("/dev/dimra-test-port"));
        const QList<CommPortTarget> all = ResolveCommPorts(12);
        QCOMPARE(all.size(), 12);
        QCOMPARE(all.last().device, QStringLiteral("/dev/dimra-test-port"));
    }
    QVERIFY(ResolveCommPort(12).device != QStringLiteral("/dev/dimra-test-port"));
    QCOMPARE(CommPortVariable(12), QStringLiteral("DIMRA_COM12"));
}

QTEST_GUILESS_MAIN(tst_CommPort)
#include "tst_commport.moc"

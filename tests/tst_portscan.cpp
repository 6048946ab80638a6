#include "devicetree.h"
#include "portscan.h"
#include "ptypair.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

class tst_PortScan : public QObject
{
    Q_OBJECT

private slots:
    void findsWhatTheTreeLinks_data();
    void findsWhatTheTreeLinks();
};

void tst_PortScan::findsWhatTheTreeLinks_data()
{
    // "entry=target": a link at entry below the root to pseudo-terminal 0,
    // 1 or 2, to "missing" (nothing there) or to "file" (a plain file).
    QTest::addColumn<QStringList>("tree");
    // What the numbers go to, in order: "entry=pseudo-terminal".
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("by-id by name, then by-path")
        << QStringList{"serial/by-path/pci-2=2", "serial/by-id/usb-B=0", "serial/by-id/usb-A=1"}
        << QStringList{"serial/by-id/usb-A=1", "serial/by-id/usb-B=0", "serial/by-path/pci-2=2"};
    QTest::newRow("by-path only for what by-id lacks")
        << QStringList{"serial/by-id/usb-A=0", "serial/by-path/pci-1=0", "serial/by-path/pci-2=1"}
        << QStringList{"serial/by-id/usb-A=0", "serial/by-path/pci-2=1"};
    QTest::newRow("links to nothing and to no device")
        << QStringList{"serial/by-id/usb-A=missing", "serial/by-id/usb-B=file", "serial/by-id/usb-C=2"}
        << QStringList{"serial/by-id/usb-C=2"};
    // A pseudo-terminal has no driver behind it that reports a port.
    QTest::newRow("a tty node that is no serial port") << QStringList{"ttyS9=0", "ttyUSB7=1"} << QStringList{};
    QTest::newRow("no serial folder") << QStringList{} << QStringList{};
}

void tst_PortScan::findsWhatTheTreeLinks()
{
    QFETCH(QStringList, tree);
    QFETCH(QStringList, expected);

    PtyPair ptys[3];
    DeviceTree devices;
    QVERIFY(devices.isValid() && ptys[2].isValid());
    QFile plain(devices.path(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    for (const QString &entry : tree) {
        const QString target = entry.section(QLatin1Char('='), 1);
        const QString path = target == QLatin1String("missing") ? devices.path(QStringLiteral("gone"))
            : target == QLatin1String("file")                   ? plain.fileName()
                                                                : ptys[target.toInt()].slavePath();
        QVERIFY(devices.plug(entry.section(QLatin1Char('='), 0, 0), path));
    }

    QStringList found;
    for (const FoundPort &port : FindSerialPorts(devices.root())) {
        int pty = 0;
        while (pty < 3 && ptys[pty].slavePath() != port.node)
            ++pty;
        found << port.path.mid(devices.root().size() + 1) + '=' + QString::number(pty);
        // Nothing else tells what a pseudo-terminal is: the by-id name does.
        QCOMPARE(port.product, port.kind == FoundPort::ById ? ProductFromLinkName(QFileInfo(port.path).fileName())
                                                            : QString());
    }
    QCOMPARE(found, expected);
}

QTEST_GUILESS_MAIN(tst_PortScan)
#include "tst_portscan.moc"

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
    // "entry=target": a link at entry below the root to pseudo-terminal 0
    // to 3, to "missing" (nothing there) or to "file" (a plain file).
    QTest::addColumn<QStringList>("tree");
    // What the numbers go to, in order: "entry=pseudo-terminal".
    QTest::addColumn<QStringList>("expected");

    // A pseudo-terminal has no driver behind it that reports a port: a tty
    // node leading to one is no serial port.
    QTest::newRow("links to devices, to nothing, to no device; a tty node that is no port")
        << QStringList{"serial/by-path/pci-2=2", "serial/by-id/usb-B=0", "serial/by-id/usb-A=1", "serial/by-path/pci-1=0",
                       "serial/by-id/usb-C=missing", "serial/by-id/usb-D=file", "ttyS9=3"}
        << QStringList{"serial/by-id/usb-A=1", "serial/by-id/usb-B=0", "serial/by-path/pci-2=2"};
    QTest::newRow("no serial folder") << QStringList{} << QStringList{};
}

void tst_PortScan::findsWhatTheTreeLinks()
{
    QFETCH(QStringList, tree);
    QFETCH(QStringList, expected);

    PtyPair ptys[4];
    DeviceTree devices;
    QVERIFY(devices.isValid() && ptys[3].isValid());
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
        while (pty < 4 && ptys[pty].slavePath() != port.node)
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

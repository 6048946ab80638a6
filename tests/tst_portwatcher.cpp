#include "devicetree.h"
#include "eventidle.h"
#include "portwatcher.h"
#include "ptypair.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

class tst_PortWatcher : public QObject
{
    Q_OBJECT

private slots:
    void followsPlugAndUnplugOnly();
};

namespace {

// What the numbers open, up to the first that opens nothing.
QStringList devicesOf(const CPortWatcher &watcher)
{
    QStringList devices;
    for (const CommPortTarget &target : watcher.targets())
        if (!target.device.isEmpty())
            devices << target.device;
    return devices;
}

} // namespace

void tst_PortWatcher::followsPlugAndUnplugOnly()
{
    PtyPair ptys[3];
    DeviceTree devices;
    QVERIFY(devices.isValid() && ptys[2].isValid());
    const QString a = QStringLiteral("serial/by-id/usb-A");
    const QString b = QStringLiteral("serial/by-id/usb-B");
    CPortWatcher watcher;
    QSignalSpy changed(&watcher, &CPortWatcher::targetsChanged);
    QVERIFY(changed.isValid());

    // The first adapter ever makes the serial folders too.
    QVERIFY(devices.plug(a, ptys[0].slavePath()));
    QTRY_COMPARE_WITH_TIMEOUT(devicesOf(watcher), QStringList{ptys[0].slavePath()}, 5000);
    QVERIFY(devices.plug(b, ptys[1].slavePath()));
    QTRY_COMPARE_WITH_TIMEOUT(devicesOf(watcher), (QStringList{ptys[0].slavePath(), ptys[1].slavePath()}), 5000);
    // Both replugged in the other order, on new nodes: each number keeps its adapter.
    QVERIFY(devices.unplug(a) && devices.unplug(b));
    QVERIFY(devices.plug(b, ptys[0].slavePath()) && devices.plug(a, ptys[2].slavePath()));
    QTRY_COMPARE_WITH_TIMEOUT(devicesOf(watcher), (QStringList{ptys[2].slavePath(), ptys[0].slavePath()}), 5000);
    QCOMPARE(watcher.targets().size(), 12);
    QVERIFY(!changed.isEmpty());

    // Something else appears in the device folder: looked at, not announced,
    // and afterwards nothing waits to look again.
    QVERIFY(ProcessEventsUntilIdle([&] { return watcher.settling(); }));
    changed.clear();
    QFile other(devices.path(QStringLiteral("loop0")));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.close();
    QVERIFY(ProcessEventsUntilIdle([&] { return watcher.settling(); }));
    QCOMPARE(changed.count(), 0);
    QVERIFY(!watcher.settling());
}

QTEST_GUILESS_MAIN(tst_PortWatcher)
#include "tst_portwatcher.moc"

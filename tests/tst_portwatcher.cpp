#include "devicetree.h"
#include "eventidle.h"
#include "portwatcher.h"
#include "ptypair.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <memory>

namespace {

constexpr int kCount = 12;
constexpr int kPtys = 4;

} // namespace

class tst_PortWatcher : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void followsPlugAndUnplug_data();
    void followsPlugAndUnplug();
    void quietWhileNothingChanges();

private:
    // Applies "+entry=n" (entry linked to pseudo-terminal n) and "-entry".
    bool apply(const QStringList &steps);
    // What the numbers open: "usb-A@2" for a stable name on pseudo-terminal 2.
    QStringList opened(const CPortWatcher &watcher) const;

    std::unique_ptr<PtyPair> m_ptys[kPtys];
    std::unique_ptr<DeviceTree> m_devices;
};

void tst_PortWatcher::init()
{
    for (auto &pty : m_ptys) {
        pty = std::make_unique<PtyPair>();
        QVERIFY(pty->isValid());
    }
    m_devices = std::make_unique<DeviceTree>();
    QVERIFY(m_devices->isValid());
}

void tst_PortWatcher::cleanup()
{
    m_devices.reset();
    for (auto &pty : m_ptys)
        pty.reset();
}

bool tst_PortWatcher::apply(const QStringList &steps)
{
    for (const QString &step : steps) {
        const QString entry = QStringLiteral("serial/by-id/") + step.mid(1).section(QLatin1Char('='), 0, 0);
        const bool done = step.startsWith(QLatin1Char('+'))
            ? m_devices->plug(entry, m_ptys[step.section(QLatin1Char('='), 1).toInt()]->slavePath())
            : m_devices->unplug(entry);
        if (!done) {
            qWarning("cannot apply %s", qPrintable(step));
            return false;
        }
    }
    return true;
}

QStringList tst_PortWatcher::opened(const CPortWatcher &watcher) const
{
    QStringList list;
    for (const CommPortTarget &target : watcher.targets()) {
        if (target.device.isEmpty())
            continue;
        int pty = 0;
        while (pty < kPtys && m_ptys[pty]->slavePath() != target.device)
            ++pty;
        list << QFileInfo(target.identity).fileName() + '@' + QString::number(pty);
    }
    return list;
}

void tst_PortWatcher::followsPlugAndUnplug_data()
{
    QTest::addColumn<QStringList>("before");  // plugged in before the watch starts
    QTest::addColumn<QStringList>("steps");   // while it watches
    QTest::addColumn<QStringList>("expected");

    // The first adapter ever makes the serial folders too.
    QTest::newRow("plug into an empty root") << QStringList{} << QStringList{"+usb-A=0"} << QStringList{"usb-A@0"};
    QTest::newRow("unplug") << QStringList{"+usb-A=0", "+usb-B=1"} << QStringList{"-usb-A"}
                            << QStringList{"usb-B@1"};
    QTest::newRow("back under a new node") << QStringList{"+usb-A=0", "+usb-B=1"}
                                           << QStringList{"-usb-A", "+usb-A=2"}
                                           << QStringList{"usb-A@2", "usb-B@1"};
    QTest::newRow("two adapters replugged in the other order")
        << QStringList{"+usb-A=0", "+usb-B=1"} << QStringList{"-usb-A", "-usb-B", "+usb-B=2", "+usb-A=3"}
        << QStringList{"usb-A@3", "usb-B@2"};
}

void tst_PortWatcher::followsPlugAndUnplug()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);

    QVERIFY(apply(before));
    CPortWatcher watcher(kCount);
    QCOMPARE(watcher.targets().size(), kCount);
    QSignalSpy changed(&watcher, &CPortWatcher::targetsChanged);
    QVERIFY(changed.isValid());
    const QStringList start = opened(watcher);

    QVERIFY(apply(steps));
    QTRY_COMPARE_WITH_TIMEOUT(opened(watcher), expected, 5000);
    QVERIFY(!changed.isEmpty());
    QVERIFY(opened(watcher) != start);
}

void tst_PortWatcher::quietWhileNothingChanges()
{
    QVERIFY(apply({"+usb-A=0"}));
    CPortWatcher watcher(kCount);
    QSignalSpy changed(&watcher, &CPortWatcher::targetsChanged);
    QVERIFY(changed.isValid());
    QVERIFY(!watcher.settling());

    // Something else appears in the device folder.
    QFile other(m_devices->path(QStringLiteral("loop0")));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.close();
    QVERIFY(ProcessEventsUntilIdle([&] { return watcher.settling(); }));
    QCOMPARE(changed.count(), 0);
    QCOMPARE(opened(watcher), QStringList{"usb-A@0"});
    // At rest nothing waits to look again.
    QVERIFY(!watcher.settling());
}

QTEST_GUILESS_MAIN(tst_PortWatcher)
#include "tst_portwatcher.moc"

#include "devicetree.h"
#include "eventidle.h"
#include "portwatcher.h"
#include "ptypair.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

class tst_PortWatcher : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void followsPlugAndUnplugOnly_data();
    void followsPlugAndUnplugOnly();

private:
    // "+A=n" links serial/by-id/A to pseudo-terminal n, "-A" takes it away.
    bool apply(const QStringList &steps);
    // What the numbers open: "A@2", the stable name A on pseudo-terminal 2.
    QStringList opened(const CPortWatcher &watcher) const;

    PtyPair m_ptys[4];
    DeviceTree m_devices;
};

void tst_PortWatcher::init()
{
    // Every test starts from an empty device folder.
    QVERIFY(m_devices.isValid() && m_ptys[3].isValid());
    QVERIFY(QDir(m_devices.root()).removeRecursively() && QDir().mkpath(m_devices.root()));
}

bool tst_PortWatcher::apply(const QStringList &steps)
{
    for (const QString &step : steps) {
        const QString entry = QStringLiteral("serial/by-id/") + step.mid(1).section(QLatin1Char('='), 0, 0);
        if (!(step.startsWith(QLatin1Char('+'))
                  ? m_devices.plug(entry, m_ptys[step.section(QLatin1Char('='), 1).toInt()].slavePath())
                  : m_devices.unplug(entry)))
            return false;
    }
    return true;
}

QStringList tst_PortWatcher::opened(const CPortWatcher &watcher) const
{
    QStringList list;
    for (const CommPortTarget &target : watcher.targets()) {
        for (int pty = 0; pty < 4; ++pty) {
            if (!target.device.isEmpty() && m_ptys[pty].slavePath() == target.device)
                list << QFileInfo(target.identity).fileName() + '@' + QString::number(pty);
        }
    }
    return list;
}

void tst_PortWatcher::followsPlugAndUnplugOnly_data()
{
    QTest::addColumn<QStringList>("before"); // plugged in before the watch starts
    QTest::addColumn<QStringList>("steps");  // while it watches
    QTest::addColumn<QStringList>("expected");

    // The first adapter ever makes the serial folders too.
    QTest::newRow("plug into a root without serial/") << QStringList{} << QStringList{"+A=0"} << QStringList{"A@0"};
    QTest::newRow("two adapters replugged in the other order")
        << QStringList{"+A=0", "+B=1"} << QStringList{"-A", "-B", "+B=2", "+A=3"} << QStringList{"A@3", "B@2"};
}

void tst_PortWatcher::followsPlugAndUnplugOnly()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, expected);

    QVERIFY(apply(before));
    CPortWatcher watcher(12);
    QSignalSpy changed(&watcher, &CPortWatcher::targetsChanged);
    QVERIFY(changed.isValid());
    QVERIFY(apply(steps));
    QTRY_COMPARE_WITH_TIMEOUT(opened(watcher), expected, 5000);
    QCOMPARE(watcher.targets().size(), 12);
    QVERIFY(!changed.isEmpty());

    // Something else appears in the device folder: looked at, not announced,
    // and afterwards nothing waits to look again.
    QVERIFY(ProcessEventsUntilIdle([&] { return watcher.settling(); }));
    changed.clear();
    QFile other(m_devices.path(QStringLiteral("loop0")));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.close();
    QVERIFY(ProcessEventsUntilIdle([&] { return watcher.settling(); }));
    QCOMPARE(changed.count(), 0);
    QCOMPARE(opened(watcher), expected);
    QVERIFY(!watcher.settling());
}

QTEST_GUILESS_MAIN(tst_PortWatcher)
#include "tst_portwatcher.moc"

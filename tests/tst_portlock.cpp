#include "portlock.h"

#include <QTest>

#include <cstring>

class tst_PortLock : public QObject
{
    Q_OBJECT

private slots:
    void lockContentNamesItsProcess_data();
    void lockContentNamesItsProcess();
    void aDeviceIsLockedUnderItsOwnName_data();
    void aDeviceIsLockedUnderItsOwnName();
};

namespace {

QByteArray binaryPid(int pid)
{
    QByteArray bytes(sizeof pid, '\0');
    std::memcpy(bytes.data(), &pid, sizeof pid);
    return bytes;
}

} // namespace

void tst_PortLock::lockContentNamesItsProcess_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qint64>("pid");
    QTest::addColumn<QString>("host");
    QTest::newRow("ten ASCII characters") << QByteArray("      4321\n") << qint64(4321) << QString();
    QTest::newRow("ASCII unpadded") << QByteArray("4321\n") << qint64(4321) << QString();
    QTest::newRow("four ASCII digits are text, not binary") << QByteArray("4321") << qint64(4321) << QString();
    QTest::newRow("binary") << binaryPid(4321) << qint64(4321) << QString();
    QTest::newRow("Qt's form") << QByteArray("4321\ndimractl\nlabpc\n") << qint64(4321) << QStringLiteral("labpc");
    QTest::newRow("Qt's form with machine and boot ids")
        << QByteArray("4321\nminiterm\nlabpc\nf00d\nbeef\n") << qint64(4321) << QStringLiteral("labpc");
    QTest::newRow("empty") << QByteArray() << qint64(0) << QString();
    QTest::newRow("not a number") << QByteArray("modem\n") << qint64(0) << QString();
    QTest::newRow("negative") << QByteArray("-4321\n") << qint64(0) << QString();
    QTest::newRow("zero") << QByteArray("         0\n") << qint64(0) << QString();
    QTest::newRow("binary zero") << binaryPid(0) << qint64(0) << QString();
    QTest::newRow("binary negative") << binaryPid(-7) << qint64(0) << QString();
    QTest::newRow("beyond any PID") << QByteArray("99999999999\n") << qint64(0) << QString();
}

void tst_PortLock::lockContentNamesItsProcess()
{
    QFETCH(QByteArray, content);
    QFETCH(qint64, pid);
    QFETCH(QString, host);
    const LockFileOwner owner = ReadLockOwner(content);
    QCOMPARE(owner.pid, pid);
    QCOMPARE(owner.host, host);
}

void tst_PortLock::aDeviceIsLockedUnderItsOwnName_data()
{
    QTest::addColumn<QByteArray>("node");
    QTest::addColumn<QByteArray>("kernelName");
    QTest::addColumn<QByteArray>("lockName");
    QTest::newRow("USB adapter") << QByteArray("/dev/ttyUSB0") << QByteArray("ttyUSB0") << QByteArray("ttyUSB0");
    QTest::newRow("pseudo-terminal") << QByteArray("/dev/pts/3") << QByteArray("pts/3") << QByteArray("pts_3");
    // A node made elsewhere for the same device is the same device.
    QTest::newRow("node outside /dev") << QByteArray("/srv/lab/port") << QByteArray("ttyS0") << QByteArray("ttyS0");
    QTest::newRow("no kernel name, below /dev") << QByteArray("/dev/serial0") << QByteArray()
                                                << QByteArray("serial0");
    QTest::newRow("no kernel name, outside /dev") << QByteArray("/srv/lab/port") << QByteArray()
                                                  << QByteArray("_srv_lab_port");
    const QByteArray deep = "/srv/" + QByteArray(300, 'd') + "/port";
    QTest::newRow("no kernel name, too long for a file name")
        << deep << QByteArray() << ("_srv_" + QByteArray(300, 'd') + "_port").right(250);
}

void tst_PortLock::aDeviceIsLockedUnderItsOwnName()
{
    QFETCH(QByteArray, node);
    QFETCH(QByteArray, kernelName);
    QFETCH(QByteArray, lockName);
    QCOMPARE(PortLockName(node, kernelName), lockName);
}

QTEST_GUILESS_MAIN(tst_PortLock)
#include "tst_portlock.moc"

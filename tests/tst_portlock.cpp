#include "envoverride.h"
#include "mscomm.h"
#include "ordinaryuser.h"
#include "portlock.h"
#include "protocolnumbers.h"
#include "ptypair.h"
#include "serialerror.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

// The lock a port is guarded by: what a lock file says, the name a device
// is locked under, and then the port opened against locks a test puts in a
// folder of its own, as an ordinary user, for whom the exclusive open of a
// serial port would otherwise hide what the locks do.

class tst_PortLock : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void lockContentNamesItsProcess_data();
    void lockContentNamesItsProcess();
    void aDeviceIsLockedUnderItsOwnName_data();
    void aDeviceIsLockedUnderItsOwnName();
    void anExistingLockDecidesTheOpen_data();
    void anExistingLockDecidesTheOpen();

private:
    std::unique_ptr<QTemporaryDir> m_dir; // made as the ordinary user
};

namespace {

QByteArray binaryPid(int pid)
{
    QByteArray bytes(sizeof pid, '\0');
    std::memcpy(bytes.data(), &pid, sizeof pid);
    return bytes;
}

QByteArray asciiPid(qint64 pid)
{
    return QByteArray::number(pid).rightJustified(10, ' ') + '\n';
}

// How a port is named: its device node, a symlink to it, or a symlink at the
// end of a path longer than a lock file's name may be.
enum Name { ByNode, BySymlink, ByLongPath };

// Who holds the device before the test opens it.
enum Holder {
    LiveAscii,     // a lock file: a running process's PID in ten characters
    LiveBinary,    // its PID as a binary int
    LiveQt,        // Qt's form, naming another user's running process
    Dead,          // the PID of a process that has ended
    Unreadable,    // a lock file this user may not read
    PortBySymlink, // a port of this program, opened by a symlink
    PortByLongPath,
    OtherDevicesPortByLongPath, // a port on another device, by a long path
};

void openPort(CMSComm &comm, const QByteArray &path)
{
    comm.put_DevicePath(QFile::decodeName(path));
    comm.put_Settings(Dimra::kLineSettings);
    comm.put_PortOpen(true);
}

} // namespace

void tst_PortLock::initTestCase()
{
    QVERIFY2(BecomeOrdinaryUser(), "cannot run as an ordinary user");
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

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

void tst_PortLock::anExistingLockDecidesTheOpen_data()
{
    QTest::addColumn<int>("holder");
    QTest::addColumn<int>("name");
    QTest::addColumn<bool>("opens");
    QTest::newRow("live ASCII") << int(LiveAscii) << int(ByNode) << false;
    QTest::newRow("live binary") << int(LiveBinary) << int(ByNode) << false;
    QTest::newRow("live Qt-format, another user's") << int(LiveQt) << int(ByNode) << false;
    QTest::newRow("dead") << int(Dead) << int(BySymlink) << true;
    QTest::newRow("unreadable") << int(Unreadable) << int(ByNode) << false;
    QTest::newRow("two names for one device") << int(PortBySymlink) << int(ByNode) << false;
    QTest::newRow("long path, then the node") << int(PortByLongPath) << int(ByNode) << false;
    QTest::newRow("long paths to two devices") << int(OtherDevicesPortByLongPath) << int(ByLongPath) << true;
}

void tst_PortLock::anExistingLockDecidesTheOpen()
{
    QFETCH(int, holder);
    QFETCH(int, name);
    QFETCH(bool, opens);

    QTemporaryDir locks(m_dir->filePath(QStringLiteral("locks-XXXXXX")));
    QVERIFY(locks.isValid());
    const EnvOverride lockFolder("DIMRA_LOCK_DIR", QFile::encodeName(locks.path()));
    PtyPair line;
    PtyPair otherLine;
    QVERIFY(line.isValid() && otherLine.isValid());
    const QByteArray node = QFile::encodeName(line.slavePath());
    const QByteArray lockFile = QFile::encodeName(locks.path()) + "/LCK.." + node.mid(5).replace('/', '_');

    // Names for the devices: a symlink, and symlinks deep enough that their
    // paths are longer than a lock file's name may be.
    const QByteArray folder = QFile::encodeName(m_dir->path());
    QByteArray deep = folder;
    for (int i = 0; i < 3; ++i) {
        deep += '/' + QByteArray(90, char('a' + i));
        ::mkdir(deep.constData(), 0700);
    }
    const QByteArray symlink = folder + "/port";
    const QByteArray longPath = deep + "/port";
    const QByteArray otherLongPath = deep + "/other";
    QVERIFY(longPath.size() > 240);
    for (const QByteArray &made : {symlink, longPath, otherLongPath})
        ::unlink(made.constData());
    QCOMPARE(::symlink(node.constData(), symlink.constData()), 0);
    QCOMPARE(::symlink(node.constData(), longPath.constData()), 0);
    QCOMPARE(::symlink(QFile::encodeName(otherLine.slavePath()).constData(), otherLongPath.constData()), 0);

    QProcess running;
    running.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    QVERIFY(running.waitForStarted());
    const auto stopRunning = qScopeGuard([&running] {
        running.kill();
        running.waitForFinished();
    });
    QByteArray content;
    CMSComm first;
    switch (holder) {
    case LiveAscii:
    case Unreadable:
        content = asciiPid(running.processId());
        break;
    case LiveBinary:
        content = binaryPid(int(running.processId()));
        break;
    case LiveQt:
        content = "1\nminiterm\n" + QSysInfo::machineHostName().toUtf8() + "\n";
        break;
    case Dead: {
        QProcess ended;
        ended.start(QStringLiteral("true"), QStringList());
        QVERIFY(ended.waitForStarted());
        content = asciiPid(ended.processId());
        QVERIFY(ended.waitForFinished());
        break;
    }
    case PortBySymlink:
        openPort(first, symlink);
        break;
    case PortByLongPath:
        openPort(first, longPath);
        break;
    case OtherDevicesPortByLongPath:
        openPort(first, otherLongPath);
        break;
    }
    if (!content.isEmpty()) {
        QFile lock(QFile::decodeName(lockFile));
        QVERIFY(lock.open(QIODevice::WriteOnly));
        QCOMPARE(lock.write(content), content.size());
        lock.close();
        if (holder == Unreadable)
            QVERIFY(lock.setPermissions(QFileDevice::Permissions()));
    }
    const QByteArray heldBefore = content;

    CMSComm second;
    CSerialError error{QString()};
    try {
        openPort(second, name == ByNode ? node : name == BySymlink ? symlink : longPath);
    } catch (const CSerialError &e) {
        error = e;
    }
    QCOMPARE(second.get_PortOpen(), opens);
    if (!opens) {
        QCOMPARE(int(error.kind()), int(CSerialError::InUse));
        // The lock decided, not the device's exclusive open: the details
        // name the lock file.
        QVERIFY2(error.details().contains(QFile::decodeName(lockFile)), qPrintable(error.details()));
        if (holder == Unreadable) {
            QVERIFY2(error.details().contains(QString::fromLocal8Bit(std::strerror(EACCES))),
                     qPrintable(error.details()));
            QVERIFY(QFile(QFile::decodeName(lockFile)).setPermissions(QFileDevice::ReadOwner));
        }
        // A lock that is not ours to take is left as it is.
        if (!heldBefore.isEmpty()) {
            QFile lock(QFile::decodeName(lockFile));
            QVERIFY(lock.open(QIODevice::ReadOnly));
            QCOMPARE(lock.readAll(), heldBefore);
        }
        return;
    }
    // Opened: the device is locked under its own name, by this process, and
    // the lock goes with the port.
    QFile lock(QFile::decodeName(lockFile));
    QVERIFY(lock.open(QIODevice::ReadOnly));
    QCOMPARE(ReadLockOwner(lock.readAll()).pid, qint64(::getpid()));
    second.put_PortOpen(false);
    QVERIFY(!QFile::exists(QFile::decodeName(lockFile)));
    if (first.get_PortOpen()) {
        first.put_PortOpen(false);
        QCOMPARE(QDir(locks.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
    }
}

QTEST_GUILESS_MAIN(tst_PortLock)
#include "tst_portlock.moc"

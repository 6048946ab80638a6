#include "envoverride.h"
#include "mscomm.h"
#include "ordinaryuser.h"
#include "portlock.h"
#include "protocolnumbers.h"
#include "ptypair.h"
#include "serialerror.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <sys/wait.h>
#include <unistd.h>

// The lock a port is guarded by: what a lock file says, the name a device is
// locked under, and the open decided by locks in a folder of the test's own,
// as an ordinary user, for whom a serial port's exclusive open would
// otherwise hide what the locks do.
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
    return QByteArray(reinterpret_cast<const char *>(&pid), sizeof pid);
}

QByteArray asciiPid(qint64 pid)
{
    return QByteArray::number(pid).rightJustified(10, ' ') + '\n';
}

void openPort(CMSComm &comm, const QByteArray &path)
{
    comm.put_CommPort(CommPortTargetForPath(path));
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
    QTest::newRow("four ASCII digits are text, not binary") << QByteArray("4321") << qint64(4321) << QString();
    QTest::newRow("binary") << binaryPid(4321) << qint64(4321) << QString();
    QTest::newRow("Qt's form with machine and boot ids")
        << QByteArray("4321\nminiterm\nlabpc\nf00d\nbeef\n") << qint64(4321) << QStringLiteral("labpc");
    QTest::newRow("empty") << QByteArray() << qint64(0) << QString();
    QTest::newRow("not a number") << QByteArray("modem\n") << qint64(0) << QString();
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
    QTest::newRow("pseudo-terminal") << QByteArray("/dev/pts/3") << QByteArray("pts/3") << QByteArray("pts_3");
    // A node made elsewhere for the same device is the same device.
    QTest::newRow("node outside /dev") << QByteArray("/srv/lab/port") << QByteArray("ttyS0") << QByteArray("ttyS0");
    QTest::newRow("no kernel name, below /dev") << QByteArray("/dev/serial0") << QByteArray() << QByteArray("serial0");
    QTest::newRow("no kernel name, outside /dev") << QByteArray("/srv/lab/port") << QByteArray()
                                                  << QByteArray("_srv_lab_port");
    QTest::newRow("no kernel name, too long for a file name")
        << "/srv/" + QByteArray(300, 'd') + "/port" << QByteArray() << ("_srv_" + QByteArray(300, 'd') + "_port").right(250);
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
    // What holds the device first: a lock file ("live", of a running process
    // of this user; "other", Qt's form naming another user's; "dead";
    // "unreadable"; "zombie", of a process ended but not reaped), a program
    // that held the port and was killed outright ("killed"), or this
    // program's port opened by a name. The test then
    // opens the device by its node or by a long path, a symlink whose path is
    // longer than a lock file's name may be.
    QTest::addColumn<QString>("holder");
    QTest::addColumn<QString>("openBy");
    QTest::addColumn<bool>("opens");
    QTest::newRow("live") << "live" << "node" << false;
    QTest::newRow("live, another user's, Qt's form") << "other" << "node" << false;
    QTest::newRow("dead") << "dead" << "long path" << true;
    QTest::newRow("zombie") << "zombie" << "node" << true;
    QTest::newRow("killed with SIGKILL") << "killed" << "node" << true;
    QTest::newRow("unreadable") << "unreadable" << "node" << false;
    QTest::newRow("two names for one device") << "port by long path" << "node" << false;
}

void tst_PortLock::anExistingLockDecidesTheOpen()
{
    QFETCH(QString, holder);
    QFETCH(QString, openBy);
    QFETCH(bool, opens);

    QTemporaryDir locks(m_dir->filePath(QStringLiteral("locks-XXXXXX")));
    QVERIFY(locks.isValid());
    const EnvOverride lockFolder("DIMRA_LOCK_DIR", QFile::encodeName(locks.path()));
    PtyPair line;
    QVERIFY(line.isValid());
    const QByteArray node = QFile::encodeName(line.slavePath());
    const QString lockFile = locks.filePath(QStringLiteral("LCK..") + line.slavePath().mid(5).replace('/', '_'));

    QByteArray longPath = QFile::encodeName(m_dir->path());
    for (const char c : {'a', 'b', 'c'})
        longPath += '/' + QByteArray(90, c);
    QVERIFY(QDir().mkpath(QFile::decodeName(longPath)));
    longPath += "/port";
    QVERIFY(longPath.size() > 255);
    ::unlink(longPath.constData());
    QCOMPARE(::symlink(node.constData(), longPath.constData()), 0);
    const QMap<QString, QByteArray> names{{QStringLiteral("node"), node}, {QStringLiteral("long path"), longPath}};

    QProcess running;
    running.start(QStringLiteral("sleep"), {QStringLiteral("60")});
    QVERIFY(running.waitForStarted());
    const auto stopRunning = qScopeGuard([&running] {
        running.kill();
        running.waitForFinished();
    });
    QByteArray content;
    pid_t zombie = 0;
    const auto reap = qScopeGuard([&zombie] {
        if (zombie > 0)
            ::waitpid(zombie, nullptr, 0);
    });
    if (holder == QLatin1String("live") || holder == QLatin1String("unreadable")) {
        content = asciiPid(running.processId());
    } else if (holder == QLatin1String("other")) {
        content = "1\nminiterm\n" + QSysInfo::machineHostName().toUtf8() + "\n";
    } else if (holder == QLatin1String("dead")) {
        QProcess ended;
        ended.start(QStringLiteral("true"), QStringList());
        QVERIFY(ended.waitForStarted());
        content = asciiPid(ended.processId());
        QVERIFY(ended.waitForFinished());
    } else if (holder == QLatin1String("zombie")) {
        zombie = ::fork();
        if (zombie == 0)
            ::_exit(0);
        // Waits for its end but leaves it unreaped until the test is over.
        siginfo_t info{};
        QCOMPARE(::waitid(P_PID, id_t(zombie), &info, WEXITED | WNOWAIT), 0);
        content = asciiPid(zombie);
    } else if (holder == QLatin1String("killed")) {
        QProcess killed;
        killed.start(QStringLiteral(DIMRA_CTL_PROGRAM), {QStringLiteral("-p"), line.slavePath(), QStringLiteral("monitor")});
        QVERIFY(killed.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lockFile), 5000);
        const qint64 pid = killed.processId();
        killed.kill();
        QVERIFY(killed.waitForFinished());
        line.endExclusiveUse();
        // Only the device's own lock is left behind, naming a process that has ended.
        QCOMPARE(QDir(locks.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList{QFileInfo(lockFile).fileName()});
        // Nor anything in the system's own lock folder.
        for (const QFileInfo &file : QDir(QStringLiteral("/var/lock")).entryInfoList(QDir::Files | QDir::System)) {
            QFile other(file.filePath());
            QVERIFY2(!other.open(QIODevice::ReadOnly) || ReadLockOwner(other.read(512)).pid != pid,
                     qPrintable(file.filePath()));
        }
    }
    CMSComm first;
    if (holder.startsWith(QLatin1String("port by "))) {
        openPort(first, names[holder.section(QLatin1String("port by "), 1)]);
        QVERIFY(first.get_PortOpen());
    } else if (!content.isEmpty()) {
        QFile lock(lockFile);
        QVERIFY(lock.open(QIODevice::WriteOnly) && lock.write(content) == content.size());
        lock.close();
        QVERIFY(holder != QLatin1String("unreadable") || lock.setPermissions(QFileDevice::Permissions()));
    }

    CMSComm second;
    CSerialError error{QString()};
    try {
        openPort(second, names[openBy]);
    } catch (const CSerialError &e) {
        error = e;
    }
    QCOMPARE(second.get_PortOpen(), opens);
    if (!opens) {
        QCOMPARE(int(error.kind()), int(CSerialError::InUse));
        // The lock decided, not the device's exclusive open: the details name it.
        QVERIFY2(error.details().contains(lockFile), qPrintable(error.details()));
        // A lock that is not ours to take is left as it is.
        QFile lock(lockFile);
        if (!content.isEmpty()) {
            QVERIFY(lock.setPermissions(QFileDevice::ReadOwner) && lock.open(QIODevice::ReadOnly));
            QCOMPARE(lock.readAll(), content);
        }
        return;
    }
    // Opened: the device is locked under its own name, by this process, and
    // the lock goes with the port.
    QFile lock(lockFile);
    QVERIFY(lock.open(QIODevice::ReadOnly));
    QCOMPARE(ReadLockOwner(lock.readAll()).pid, qint64(::getpid()));
    second.put_PortOpen(false);
    QVERIFY(!QFile::exists(lockFile));
    first.put_PortOpen(false);
    QCOMPARE(QDir(locks.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
}

QTEST_GUILESS_MAIN(tst_PortLock)
#include "tst_portlock.moc"

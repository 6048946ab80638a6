#include "portlock.h"

#include <QFile>
#include <QSet>
#include <QSysInfo>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// How often a lock that changes under our hands is looked at again before
// the device counts as in use.
constexpr int kLockAttempts = 5;

// The lock files this process holds: a lock naming this process is another
// port object's here, or left by an earlier process that had this PID.
QSet<QByteArray> &heldHere()
{
    static QSet<QByteArray> held;
    return held;
}

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The kernel's name of a character device: what sysfs says, and for a
// pseudo-terminal, which sysfs does not list, pts/<n>.
QByteArray kernelName(dev_t device)
{
    char path[64];
    std::snprintf(path, sizeof path, "/sys/dev/char/%u:%u/uevent", major(device), minor(device));
    QFile uevent(QString::fromLatin1(path));
    if (uevent.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : uevent.readAll().split('\n'))
            if (line.startsWith("DEVNAME="))
                return line.mid(8);
    }
    // Unix98 pseudo-terminal slaves: majors 136 to 143, 256 minors each.
    if (major(device) >= 136 && major(device) <= 143)
        return "pts/" + QByteArray::number((major(device) - 136) * 256 + minor(device));
    return QByteArray();
}

// The device node an open handle leads to, all links followed.
QByteArray nodePathOf(int handle, const QByteArray &fallback)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", handle);
    char *resolved = ::realpath(link, nullptr);
    if (!resolved) {
        resolved = ::realpath(fallback.constData(), nullptr);
        if (!resolved)
            return fallback;
    }
    const QByteArray node(resolved);
    std::free(resolved);
    return node;
}

struct Inspection
{
    enum State { Missing, Held, Gone } state = Missing;
    QString details; // for Held: why, in the system's terms
    dev_t device = 0;
    ino_t inode = 0;
};

// A process that has ended but is not yet reaped (a zombie) holds no
// device any more: it counts as gone.
bool processLives(qint64 pid)
{
    if (::kill(pid_t(pid), 0) != 0 && errno != EPERM)
        return false;
#ifdef Q_OS_LINUX
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        // "pid (name) state ...": the name may hold spaces and parentheses.
        const QByteArray line = stat.read(4096);
        const qsizetype end = line.lastIndexOf(')');
        if (end >= 0 && end + 2 < line.size() && (line.at(end + 2) == 'Z' || line.at(end + 2) == 'X'))
            return false;
    }
#endif
    return true;
}

Inspection inspect(const QByteArray &lockPath)
{
    Inspection result;
    const QString file = QFile::decodeName(lockPath);
    const int handle = ::open(lockPath.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0) {
        if (errno == ENOENT)
            return result;
        result.state = Inspection::Held;
        result.details = QStringLiteral("%1: %2").arg(file, systemText(errno));
        return result;
    }
    struct stat st;
    ::fstat(handle, &st);
    result.device = st.st_dev;
    result.inode = st.st_ino;
    char buffer[512];
    ssize_t n;
    do
        n = ::read(handle, buffer, sizeof buffer);
    while (n < 0 && errno == EINTR);
    const int readError = errno;
    // A program that keeps its lock file open and locked is running,
    // whatever PID the file names.
    const bool locked = ::flock(handle, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(handle);

    result.state = Inspection::Held;
    if (n < 0) {
        result.details = QStringLiteral("%1: %2").arg(file, systemText(readError));
        return result;
    }
    const LockFileOwner owner = ReadLockOwner(QByteArray(buffer, int(n)));
    const QString pid = QString::number(owner.pid);
    if (locked) {
        result.details = CPortLock::tr("%1：被一个正在运行的程序锁定（PID %2）").arg(file, pid);
    } else if (owner.pid == 0) {
        result.details = CPortLock::tr("%1：没有指明任何进程").arg(file);
    } else if (!owner.host.isEmpty() && owner.host != QSysInfo::machineHostName()) {
        result.details = CPortLock::tr("%1：由 %3 上的进程 %2 持有").arg(file, pid, owner.host);
    } else if (owner.pid == ::getpid()) {
        if (heldHere().contains(lockPath))
            result.details = CPortLock::tr("%1：由本程序持有（PID %2）").arg(file, pid);
        else
            result.state = Inspection::Gone; // an earlier process with this PID
    } else if (processLives(owner.pid)) {
        result.details = CPortLock::tr("%1：由进程 %2 持有").arg(file, pid);
    } else {
        result.state = Inspection::Gone;
    }
    return result;
}

// Removes a lock whose process is gone, unless another program has put a
// lock of its own in its place since it was read.
bool removeIfUnchanged(const QByteArray &lockPath, const Inspection &seen)
{
    struct stat st;
    if (::lstat(lockPath.constData(), &st) != 0)
        return errno == ENOENT;
    if (st.st_dev != seen.device || st.st_ino != seen.inode)
        return true; // look again
    return ::unlink(lockPath.constData()) == 0 || errno == ENOENT;
}

enum class Creation { Created, Exists, NotHere };

// Writes the lock whole under a name of its own, locks it, and only then
// links it to its real name, so that nobody ever reads it half written.
Creation createLock(const QByteArray &folder, const QByteArray &lockPath, int *handle)
{
    QByteArray temp = folder + "/LTMP.XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return Creation::NotHere;
    char content[16];
    const int length = std::snprintf(content, sizeof content, "%10d\n", int(::getpid()));
    const bool written = ::fchmod(fd, 0644) == 0 && ::write(fd, content, size_t(length)) == length
        && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    const int linked = written ? ::link(temp.constData(), lockPath.constData()) : -1;
    const int linkError = errno;
    ::unlink(temp.constData());
    if (linked != 0) {
        ::close(fd);
        return written && linkError == EEXIST ? Creation::Exists : Creation::NotHere;
    }
    *handle = fd;
    return Creation::Created;
}

} // namespace

PortIdentity IdentifyPort(const QByteArray &path)
{
    const int handle = ::open(path.constData(), O_PATH | O_CLOEXEC);
    if (handle < 0)
        return {path, QByteArray()};
    struct stat st;
    const bool device = ::fstat(handle, &st) == 0 && S_ISCHR(st.st_mode);
    PortIdentity identity{nodePathOf(handle, path), device ? kernelName(st.st_rdev) : QByteArray()};
    ::close(handle);
    return identity;
}

void CPortLock::acquire(const QByteArray &path, const QString &where)
{
    release();
    const int pathHandle = ::open(path.constData(), O_PATH | O_CLOEXEC);
    if (pathHandle < 0)
        return;
    struct stat st;
    if (::fstat(pathHandle, &st) != 0 || !S_ISCHR(st.st_mode)) {
        ::close(pathHandle);
        return;
    }
    const QByteArray folder = PortLockFolder();
    const QByteArray lockPath =
        folder + "/LCK.." + PortLockName(nodePathOf(pathHandle, path), kernelName(st.st_rdev));

    bool settled = false;
    QString inUse;
    for (int attempt = 0; attempt < kLockAttempts && !settled && inUse.isEmpty(); ++attempt) {
        const Inspection seen = inspect(lockPath);
        switch (seen.state) {
        case Inspection::Held:
            inUse = seen.details;
            break;
        case Inspection::Gone:
            // Another user's dead lock in a folder that keeps it (sticky):
            // go on unlocked rather than refuse a device nobody uses.
            settled = !removeIfUnchanged(lockPath, seen);
            break;
        case Inspection::Missing: {
            int lockHandle = -1;
            const Creation made = createLock(folder, lockPath, &lockHandle);
            if (made == Creation::Created) {
                m_lockHandle = lockHandle;
                m_lockPath = lockPath;
                heldHere().insert(lockPath);
            }
            settled = made != Creation::Exists; // not here: unlocked, the exclusive open still guards
            break;
        }
        }
    }
    if (!settled) {
        ::close(pathHandle);
        throw PortInUseError(where, inUse.isEmpty() ? CPortLock::tr("%1：被其他程序反复占用又释放")
                                                          .arg(QFile::decodeName(lockPath))
                                                    : inUse);
    }
    // Through the handle: the device locked is the device opened.
    m_pathHandle = pathHandle;
    m_openName = "/proc/self/fd/" + QByteArray::number(pathHandle);
}

void CPortLock::release()
{
    if (m_lockHandle >= 0) {
        // Only our own file: one put in its place is not ours to remove.
        struct stat held;
        struct stat named;
        if (::fstat(m_lockHandle, &held) == 0 && ::lstat(m_lockPath.constData(), &named) == 0
            && held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            ::unlink(m_lockPath.constData());
        ::close(m_lockHandle);
        heldHere().remove(m_lockPath);
        m_lockHandle = -1;
        m_lockPath.clear();
    }
    if (m_pathHandle >= 0) {
        ::close(m_pathHandle);
        m_pathHandle = -1;
    }
    m_openName.clear();
}

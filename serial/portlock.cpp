#include "portlock.h"

#include <QList>

#include <cstring>
#include <limits>

namespace {

// "LCK.." and the name must make one file name (at most 255 bytes).
constexpr qsizetype kLongestLockName = 250;

bool isAsciiNumberText(const QByteArray &content)
{
    for (const char c : content)
        if (!(c >= '0' && c <= '9') && c != ' ' && c != '\t' && c != '\n')
            return false;
    return true;
}

qint64 asPid(qint64 n)
{
    return n > 0 && n <= std::numeric_limits<int>::max() ? n : 0;
}

} // namespace

LockFileOwner ReadLockOwner(const QByteArray &content)
{
    LockFileOwner owner;
    if (content.size() == qsizetype(sizeof(int)) && !isAsciiNumberText(content)) {
        int pid = 0;
        std::memcpy(&pid, content.constData(), sizeof pid);
        owner.pid = asPid(pid);
        return owner;
    }
    const QList<QByteArray> lines = content.split('\n');
    const QByteArray first = lines.value(0).trimmed();
    bool ok = !first.isEmpty();
    for (const char c : first)
        ok = ok && c >= '0' && c <= '9';
    const qint64 pid = ok && first.size() <= 10 ? first.toLongLong(&ok) : 0;
    owner.pid = ok ? asPid(pid) : 0;
    // Qt's form: PID, program, host.
    if (lines.size() >= 3)
        owner.host = QString::fromUtf8(lines.at(2));
    return owner;
}

QByteArray PortLockName(const QByteArray &nodePath, const QByteArray &kernelName)
{
    QByteArray name = !kernelName.isEmpty() ? kernelName
        : nodePath.startsWith("/dev/")       ? nodePath.mid(5)
                                             : nodePath;
    name.replace('/', '_');
    // Only a node far outside /dev that the kernel has no name for gets
    // here; the end of its path tells it apart best.
    if (name.size() > kLongestLockName)
        name = name.right(kLongestLockName);
    return name;
}

CSerialError PortInUseError(const QString &where, const QString &details)
{
    return CSerialError(CPortLock::tr("串口 %1 正被其他程序占用，无法打开。请先关闭占用它的程序（例如另一个 Dimra 窗口）。")
                            .arg(where),
                        CSerialError::InUse, details);
}

QByteArray PortLockFolder()
{
    const QByteArray folder = qgetenv("DIMRA_LOCK_DIR");
    return folder.isEmpty() ? QByteArrayLiteral("/var/lock") : folder;
}

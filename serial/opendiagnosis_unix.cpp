#include "opendiagnosis.h"

#include <QFileInfo>
#include <QLockFile>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString kindOfFile(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("一个目录");
    if (S_ISREG(mode))
        return QStringLiteral("一个普通文件");
    if (S_ISFIFO(mode))
        return QStringLiteral("一个管道");
    if (S_ISSOCK(mode))
        return QStringLiteral("一个套接字");
    if (S_ISBLK(mode))
        return QStringLiteral("一个块设备");
    return QStringLiteral("一个不是终端的字符设备");
}

// Serial ports are locked with a file LCK..<name> in one of these folders
// (the name is the path below /dev/, with '/' written as '_').
bool lockFileIsHeld(const QByteArray &path)
{
    QString name = QFile::decodeName(path);
    if (name.startsWith(QLatin1String("/dev/")))
        name = name.mid(5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    static const char *const folders[] = {"/var/lock", "/etc/locks", "/var/spool/locks", "/var/spool/uucp",
                                          "/tmp", "/var/tmp", "/var/lock/lockdev", "/run/lock"};
    for (const char *folder : folders) {
        const QString lockPath = QStringLiteral("%1/LCK..%2").arg(QLatin1String(folder), name);
        if (!QFileInfo::exists(lockPath))
            continue;
        qint64 pid = 0;
        QString host;
        QString app;
        if (QLockFile(lockPath).getLockInfo(&pid, &host, &app) && pid > 0
            && (::kill(pid_t(pid), 0) == 0 || errno == EPERM))
            return true;
    }
    return false;
}

} // namespace

CSerialError DiagnoseOpenFailure(const QString &where, const QByteArray &path, const QString &systemText,
                                 const QString &variable)
{
    struct stat st;
    // Named by an environment variable, the fix is to set it; named by the
    // user directly, to name the right path.
    const QString nameIt = variable.isEmpty() ? QStringLiteral("以及设备路径是否写对")
                                              : QStringLiteral("或用环境变量 %1 指定正确的设备路径").arg(variable);
    if (::stat(path.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return CSerialError(QStringLiteral("找不到串口设备 %1。请检查设备是否已连接，%2。").arg(where, nameIt),
                                CSerialError::NoSuchDevice, systemText);
        return UndiagnosedOpenFailure(where, systemText);
    }
    const QString notSerial = QStringLiteral("%1 不是串口设备（它是%2）。请指定串口设备的路径，例如 /dev/ttyUSB0%3。")
                                  .arg(where, QStringLiteral("%1"),
                                       variable.isEmpty() ? QString() : QStringLiteral("（环境变量 %1）").arg(variable));
    if (!S_ISCHR(st.st_mode))
        return CSerialError(notSerial.arg(kindOfFile(st.st_mode)), CSerialError::NotSerial, systemText);
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
        const struct group *gr = ::getgrgid(st.st_gid);
        return CSerialError(PermissionAdvice(where, st.st_gid, st.st_mode, gr ? QString::fromLocal8Bit(gr->gr_name) : QString()),
                            CSerialError::NoPermission, systemText);
    }
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const int openError = errno;
    if (fd >= 0) {
        const bool terminal = ::isatty(fd);
        ::close(fd);
        if (!terminal)
            return CSerialError(notSerial.arg(kindOfFile(st.st_mode)), CSerialError::NotSerial, systemText);
    }
    if ((fd < 0 && openError == EBUSY) || lockFileIsHeld(path))
        return CSerialError(QStringLiteral("串口 %1 正被其他程序占用，无法打开。请先关闭占用它的程序（例如另一个 Dimra 窗口）。")
                                .arg(where),
                            CSerialError::InUse, systemText);
    return UndiagnosedOpenFailure(where, systemText);
}

#include "opendiagnosis.h"

#include "portlock.h"
#include "portscan.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// Terminals that carry no serial line: the controlling terminal, the
// console, the pseudo-terminal multiplexer (opening it makes a new
// pseudo-terminal) and its masters, and the virtual consoles. A
// pseudo-terminal's slave end is a line, as the virtual board's is.
bool isTerminalButNoLine(dev_t device)
{
#ifdef Q_OS_LINUX
    const unsigned maj = major(device);
    const unsigned min = minor(device);
    return (maj == 5 && min <= 2) || (maj == 4 && min < 64) || maj == 2 || (maj >= 128 && maj <= 135);
#else
    Q_UNUSED(device);
    return false;
#endif
}

QString kindOfFile(const struct stat &st)
{
    const mode_t mode = st.st_mode;
    if (S_ISCHR(mode) && isTerminalButNoLine(st.st_rdev))
        return OpenDiagnosis::tr("一个不是串口的终端设备");
    if (S_ISDIR(mode))
        return OpenDiagnosis::tr("一个目录");
    if (S_ISREG(mode))
        return OpenDiagnosis::tr("一个普通文件");
    if (S_ISFIFO(mode))
        return OpenDiagnosis::tr("一个管道");
    if (S_ISSOCK(mode))
        return OpenDiagnosis::tr("一个套接字");
    if (S_ISBLK(mode))
        return OpenDiagnosis::tr("一个块设备");
    return OpenDiagnosis::tr("一个不是终端的字符设备");
}

// What the system says of the device for a user who may not open it.
DeviceAccess accessOf(const QByteArray &path, const struct stat &st)
{
    DeviceAccess access;
    access.groupId = st.st_gid;
    access.mode = st.st_mode;
    if (const struct group *gr = ::getgrgid(st.st_gid))
        access.groupName = QString::fromLocal8Bit(gr->gr_name);
    const PortIdentity identity = IdentifyPort(path);
    access.kernelName = !identity.kernelName.isEmpty() ? QString::fromLocal8Bit(identity.kernelName)
                                                       : QFileInfo(QFile::decodeName(identity.node)).fileName();
    const UsbAdapter usb = PortScanPlatform::usbAdapter(QFile::decodeName(identity.node));
    access.usb = usb.usb;
    access.vendorId = usb.vendorId;
    access.productId = usb.productId;
    return access;
}

CSerialError notSerialError(const QString &where, const struct stat &st, const QString &variable,
                            const QString &systemText)
{
    // One pass over the text: a path may itself hold %1.
    return CSerialError(OpenDiagnosis::tr("%1 不是串口设备（它是%2）。请指定串口设备的路径，例如 /dev/ttyUSB0%3。")
                            .arg(where, kindOfFile(st),
                                 variable.isEmpty() ? QString() : OpenDiagnosis::tr("（环境变量 %1）").arg(variable)),
                        CSerialError::NotSerial, systemText);
}

} // namespace

void CheckSerialDevice(const QString &where, const QByteArray &path, const QString &variable)
{
    struct stat st;
    if (::stat(path.constData(), &st) == 0 && S_ISCHR(st.st_mode) && isTerminalButNoLine(st.st_rdev))
        throw notSerialError(where, st, variable, qt_error_string(ENOTTY));
}

CSerialError DiagnoseOpenFailure(const QString &where, const QByteArray &path, int, const QString &systemText,
                                 const QString &variable)
{
    struct stat st;
    // Named by an environment variable, the fix is to set it; named by the
    // user directly, to name the right path.
    const QString nameIt = variable.isEmpty() ? OpenDiagnosis::tr("以及设备路径是否写对")
                                              : OpenDiagnosis::tr("或用环境变量 %1 指定正确的设备路径").arg(variable);
    if (::stat(path.constData(), &st) != 0) {
        // However long the path: nothing can be there.
        if (errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG)
            return CSerialError(OpenDiagnosis::tr("找不到串口设备 %1。请检查设备是否已连接，%2。").arg(where, nameIt),
                                CSerialError::NoSuchDevice, systemText);
        // Symbolic links that lead back to themselves, or too many in a row.
        if (errno == ELOOP)
            return CSerialError(OpenDiagnosis::tr("找不到串口设备 %1：它的符号链接构成循环，或一个接一个太多。请检查这些链接，%2。")
                                    .arg(where, nameIt),
                                CSerialError::NoSuchDevice, systemText);
        return UndiagnosedOpenFailure(where, systemText);
    }
    if (!S_ISCHR(st.st_mode))
        return notSerialError(where, st, variable, systemText);
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES)
        return CSerialError(PermissionAdvice(where, accessOf(path, st)), CSerialError::NoPermission, systemText);
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const int openError = errno;
    if (fd >= 0) {
        const bool terminal = ::isatty(fd);
        ::close(fd);
        if (!terminal)
            return notSerialError(where, st, variable, systemText);
    }
    // Held exclusively by a program that takes no lock file (the lock
    // files were looked at before the open).
    if (fd < 0 && openError == EBUSY)
        return PortInUseError(where, systemText);
    return UndiagnosedOpenFailure(where, systemText);
}

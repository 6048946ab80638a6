#include "opendiagnosis.h"

#include "portlock.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString kindOfFile(mode_t mode)
{
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
    const QSerialPortInfo info(QFile::decodeName(identity.node));
    if (!info.isNull() && info.hasVendorIdentifier() && info.hasProductIdentifier()) {
        access.usb = true;
        access.vendorId = info.vendorIdentifier();
        access.productId = info.productIdentifier();
    }
    return access;
}

} // namespace

CSerialError DiagnoseOpenFailure(const QString &where, const QByteArray &path, const QString &systemText,
                                 const QString &variable)
{
    struct stat st;
    // Named by an environment variable, the fix is to set it; named by the
    // user directly, to name the right path.
    const QString nameIt = variable.isEmpty() ? OpenDiagnosis::tr("以及设备路径是否写对")
                                              : OpenDiagnosis::tr("或用环境变量 %1 指定正确的设备路径").arg(variable);
    if (::stat(path.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return CSerialError(OpenDiagnosis::tr("找不到串口设备 %1。请检查设备是否已连接，%2。").arg(where, nameIt),
                                CSerialError::NoSuchDevice, systemText);
        return UndiagnosedOpenFailure(where, systemText);
    }
    // One pass over the text: a path may itself hold %1.
    const auto notSerial = [&](mode_t mode) {
        return CSerialError(OpenDiagnosis::tr("%1 不是串口设备（它是%2）。请指定串口设备的路径，例如 /dev/ttyUSB0%3。")
                                .arg(where, kindOfFile(mode),
                                     variable.isEmpty() ? QString() : OpenDiagnosis::tr("（环境变量 %1）").arg(variable)),
                            CSerialError::NotSerial, systemText);
    };
    if (!S_ISCHR(st.st_mode))
        return notSerial(st.st_mode);
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES)
        return CSerialError(PermissionAdvice(where, accessOf(path, st)), CSerialError::NoPermission, systemText);
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    const int openError = errno;
    if (fd >= 0) {
        const bool terminal = ::isatty(fd);
        ::close(fd);
        if (!terminal)
            return notSerial(st.st_mode);
    }
    // Held exclusively by a program that takes no lock file (the lock
    // files were looked at before the open).
    if (fd < 0 && openError == EBUSY)
        return PortInUseError(where, systemText);
    return UndiagnosedOpenFailure(where, systemText);
}

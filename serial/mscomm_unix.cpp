#include "mscomm_p.h"

#include <QCoreApplication>
#include <QSerialPort>

#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace SerialSystem {

qint64 write(QSerialPort &port, const QByteArray &bytes, int *error)
{
    // The descriptor is non-blocking: a full buffer says EAGAIN and the
    // bytes stay with the caller.
    qint64 n;
    do
        n = ::write(port.handle(), bytes.constData(), size_t(bytes.size()));
    while (n < 0 && errno == EINTR);
    *error = n < 0 ? errno : 0;
    return n;
}

qint64 queuedOutput(const QSerialPort &port)
{
    int queued = 0;
    if (::ioctl(port.handle(), TIOCOUTQ, &queued) != 0)
        return 0;
    return queued;
}

void drain(QSerialPort &port)
{
    ::tcdrain(port.handle());
}

quint64 deviceId(const QSerialPort &port)
{
    struct stat st;
    return ::fstat(port.handle(), &st) == 0 ? quint64(st.st_rdev) : 0;
}

QString lossReason(const QSerialPort &port, const QByteArray &nativePath, quint64 deviceId, const QString &device,
                   int error)
{
    if (error == EIO || error == ENXIO || error == ENODEV || error == EPIPE || error == EBADF)
        return qt_error_string(error);
    struct stat st;
    if (::stat(nativePath.constData(), &st) != 0)
        return qt_error_string(errno); // the device node is gone
    if (deviceId != 0 && quint64(st.st_rdev) != deviceId)
        return QCoreApplication::translate("CMSComm", "%1 现在指向另一个设备").arg(device);
    pollfd pfd{port.handle(), POLLOUT, 0};
    if (::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)))
        return QCoreApplication::translate("CMSComm", "对端已挂断");
    int queued = 0;
    if (::ioctl(port.handle(), TIOCOUTQ, &queued) != 0 && (errno == EIO || errno == ENXIO || errno == ENODEV))
        return qt_error_string(errno);
    return QString();
}

} // namespace SerialSystem

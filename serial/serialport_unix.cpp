#include "serialport.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

struct CSerialPort::Platform
{
    int fd = -1;
    termios restore = {}; // the line's settings before the open
    dev_t device = 0; // the node opened, to notice it vanish or change
    QByteArray buffer;
    qint64 bufferSize = 0; // 0: unbounded
    QSocketNotifier *notifier = nullptr;
};

namespace {

constexpr qint64 kReadChunk = 4096;

speed_t speedFor(qint32 baud)
{
    switch (baud) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
#ifdef B460800
    case 460800: return B460800;
    case 921600: return B921600;
#endif
    default: return B0;
    }
}

// The settings on top of a raw line: 8N1-like framing as asked, the
// receiver on, modem lines ignored, no flow control of either kind, and a
// read that never waits.
bool toTermios(const SerialSettings &settings, termios *tio)
{
    const speed_t speed = speedFor(settings.baudRate);
    if (speed == B0)
        return false;
    ::cfmakeraw(tio);
    tio->c_cflag |= CLOCAL | CREAD;
    tio->c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
#ifdef CMSPAR
    tio->c_cflag &= ~CMSPAR;
#endif
    tio->c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    tio->c_cflag |= sizes[qBound(5, settings.dataBits, 8) - 5];
    switch (settings.parity) {
    case SerialSettings::NoParity:
        break;
    case SerialSettings::OddParity:
        tio->c_cflag |= PARENB | PARODD;
        break;
    case SerialSettings::EvenParity:
        tio->c_cflag |= PARENB;
        break;
    case SerialSettings::MarkParity:
    case SerialSettings::SpaceParity:
#ifdef CMSPAR
        tio->c_cflag |= PARENB | CMSPAR | (settings.parity == SerialSettings::MarkParity ? PARODD : 0);
        break;
#else
        return false;
#endif
    }
    // termios knows one or two stop bits; one and a half is taken as two.
    if (settings.stopBits != SerialSettings::OneStop)
        tio->c_cflag |= CSTOPB;
    tio->c_cc[VMIN] = 0;
    tio->c_cc[VTIME] = 0;
    return ::cfsetispeed(tio, speed) == 0 && ::cfsetospeed(tio, speed) == 0;
}

} // namespace

CSerialPort::CSerialPort(QObject *parent)
    : QObject(parent), d(std::make_unique<Platform>())
{
}

CSerialPort::~CSerialPort()
{
    close();
}

bool CSerialPort::open(const QByteArray &path, const SerialSettings &settings)
{
    close();
    m_error = 0;
    int fd;
    do
        fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    const auto refuse = [this, &fd](int error) {
        if (fd >= 0)
            ::close(fd);
        m_error = error;
        return false;
    };
    if (fd < 0)
        return refuse(errno);
    if (!::isatty(fd))
        return refuse(ENOTTY);
    // Another open of the device, but by root, is refused while this one lasts.
    if (::ioctl(fd, TIOCEXCL) != 0)
        return refuse(errno);
    termios tio;
    if (::tcgetattr(fd, &d->restore) != 0)
        return refuse(errno);
    tio = d->restore;
    if (!toTermios(settings, &tio))
        return refuse(EINVAL);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0)
        return refuse(errno);
    struct stat st;
    d->device = ::fstat(fd, &st) == 0 ? st.st_rdev : 0;
    d->fd = fd;
    d->buffer.clear();
    d->notifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
    connect(d->notifier, &QSocketNotifier::activated, this, [this] {
        const qint64 room = d->bufferSize > 0 ? d->bufferSize - d->buffer.size() : kReadChunk;
        if (room <= 0) {
            d->notifier->setEnabled(false); // read() lets the line in again
            return;
        }
        char chunk[kReadChunk];
        ssize_t n;
        do
            n = ::read(d->fd, chunk, size_t(qMin(room, kReadChunk)));
        while (n < 0 && errno == EINTR);
        if (n > 0) {
            d->buffer.append(chunk, n);
            emit readyRead();
        } else if (n < 0 && errno == EAGAIN) {
            return;
        } else {
            // A terminal reads 0 bytes only after it has hung up.
            const int error = n < 0 ? errno : EIO;
            d->notifier->setEnabled(false);
            emit readFailed(error);
        }
    });
    return true;
}

bool CSerialPort::isOpen() const
{
    return d->fd >= 0;
}

void CSerialPort::close()
{
    if (d->fd < 0)
        return;
    // Closing may come from the notifier's own signal (a read that failed).
    d->notifier->setEnabled(false);
    d->notifier->disconnect(this);
    d->notifier->deleteLater();
    d->notifier = nullptr;
    ::tcsetattr(d->fd, TCSANOW, &d->restore);
    ::ioctl(d->fd, TIOCNXCL);
    ::close(d->fd);
    d->fd = -1;
    d->buffer.clear();
}

bool CSerialPort::applySettings(const SerialSettings &settings)
{
    termios tio;
    if (d->fd < 0 || ::tcgetattr(d->fd, &tio) != 0)
        return false;
    if (!toTermios(settings, &tio)) {
        m_error = EINVAL;
        return false;
    }
    if (::tcsetattr(d->fd, TCSANOW, &tio) != 0) {
        m_error = errno;
        return false;
    }
    return true;
}

void CSerialPort::setRequestToSend(bool on)
{
    int rts = TIOCM_RTS;
    if (d->fd >= 0)
        ::ioctl(d->fd, on ? TIOCMBIS : TIOCMBIC, &rts);
}

void CSerialPort::clearInput()
{
    if (d->fd >= 0)
        ::tcflush(d->fd, TCIFLUSH);
    d->buffer.clear();
}

qint64 CSerialPort::bytesAvailable() const
{
    return d->buffer.size();
}

QByteArray CSerialPort::read(qint64 maxSize)
{
    const QByteArray taken = maxSize > 0 ? d->buffer.left(maxSize) : d->buffer;
    d->buffer.remove(0, taken.size());
    if (d->notifier && !d->notifier->isEnabled() && (d->bufferSize == 0 || d->buffer.size() < d->bufferSize))
        d->notifier->setEnabled(true);
    return taken;
}

void CSerialPort::setReadBufferSize(qint64 size)
{
    d->bufferSize = size;
}

qint64 CSerialPort::write(const QByteArray &bytes, int *error)
{
    // The descriptor is non-blocking: a full buffer says EAGAIN and the
    // bytes stay with the caller.
    ssize_t n;
    do
        n = ::write(d->fd, bytes.constData(), size_t(bytes.size()));
    while (n < 0 && errno == EINTR);
    *error = n < 0 ? errno : 0;
    return n;
}

qint64 CSerialPort::queuedOutput() const
{
    int queued = 0;
    if (d->fd < 0 || ::ioctl(d->fd, TIOCOUTQ, &queued) != 0)
        return 0;
    return queued;
}

void CSerialPort::drain()
{
    if (d->fd >= 0)
        ::tcdrain(d->fd);
}

QString CSerialPort::lossReason(const QByteArray &path, const QString &device, int error) const
{
    if (error == EIO || error == ENXIO || error == ENODEV || error == EPIPE || error == EBADF)
        return qt_error_string(error);
    struct stat st;
    if (::stat(path.constData(), &st) != 0)
        return qt_error_string(errno); // the device node is gone
    if (d->device != 0 && st.st_rdev != d->device)
        return QCoreApplication::translate("CMSComm", "%1 现在指向另一个设备").arg(device);
    pollfd pfd{d->fd, POLLOUT, 0};
    if (::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)))
        return QCoreApplication::translate("CMSComm", "对端已挂断");
    int queued = 0;
    if (::ioctl(d->fd, TIOCOUTQ, &queued) != 0 && (errno == EIO || errno == ENXIO || errno == ENODEV))
        return qt_error_string(errno);
    return QString();
}

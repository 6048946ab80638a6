#include "portscan.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#endif

namespace {

#ifdef Q_OS_LINUX
// The first number in a small sysfs attribute, or -1 when there is none.
int readNumber(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    bool ok = false;
    const int value = file.read(32).trimmed().toInt(&ok);
    return ok ? value : -1;
}

// Without sysfs: the driver's own answer for a UART.
bool uartReportsAPort(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    serial_struct info{};
    const bool known = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return known;
}
#endif

} // namespace

namespace PortScanPlatform {

QString charDeviceId(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISCHR(st.st_mode))
        return QString();
    return QStringLiteral("%1:%2").arg(major(st.st_rdev)).arg(minor(st.st_rdev));
}

bool isPresentSerialPort(const QString &path)
{
    const QString id = charDeviceId(path);
    if (id.isEmpty())
        return false;
#ifdef Q_OS_LINUX
    // sysfs knows the node by its number, wherever the node itself lies.
    const QString sysfs = QStringLiteral("/sys/dev/char/") + id;
    if (QFileInfo::exists(sysfs)) {
        // Virtual consoles and pseudo-terminals have no device behind them.
        if (!QFileInfo::exists(sysfs + QStringLiteral("/device")))
            return false;
        // A UART says what it found; 0 is none.
        const int type = readNumber(sysfs + QStringLiteral("/type"));
        return type != 0;
    }
    return QFileInfo(path).fileName().startsWith(QLatin1String("ttyS")) && uartReportsAPort(path);
#else
    return false; // elsewhere the system's own list of ports serves
#endif
}

QByteArray udevRecord(const QString &path)
{
#ifdef Q_OS_LINUX
    const QString id = charDeviceId(path);
    if (id.isEmpty())
        return QByteArray();
    QFile record(QStringLiteral("/run/udev/data/c") + id);
    return record.open(QIODevice::ReadOnly) ? record.read(64 * 1024) : QByteArray();
#else
    Q_UNUSED(path);
    return QByteArray();
#endif
}

UsbAdapter usbAdapter(const QString &path)
{
    UsbAdapter adapter;
#ifdef Q_OS_LINUX
    const QString id = charDeviceId(path);
    if (id.isEmpty())
        return adapter;
    // The tty's device, and up from it the USB interface, then the USB
    // device itself, which holds the IDs and strings.
    QString folder = QFileInfo(QStringLiteral("/sys/dev/char/%1/device").arg(id)).canonicalFilePath();
    const auto text = [](const QString &file) {
        QFile attribute(file);
        return attribute.open(QIODevice::ReadOnly) ? QString::fromUtf8(attribute.read(256)).trimmed() : QString();
    };
    for (int up = 0; up < 6 && folder.startsWith(QLatin1String("/sys/devices/")); ++up) {
        bool vendorOk = false;
        bool productOk = false;
        const uint vendor = text(folder + QStringLiteral("/idVendor")).toUInt(&vendorOk, 16);
        const uint product = text(folder + QStringLiteral("/idProduct")).toUInt(&productOk, 16);
        if (vendorOk && productOk) {
            adapter = {true, quint16(vendor), quint16(product), text(folder + QStringLiteral("/manufacturer")),
                       text(folder + QStringLiteral("/product"))};
            break;
        }
        folder = QFileInfo(folder).path();
    }
#else
    Q_UNUSED(path);
#endif
    return adapter;
}

} // namespace PortScanPlatform

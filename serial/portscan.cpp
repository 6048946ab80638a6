#include "portscan.h"

#include <QDir>
#include <QFileInfo>

namespace {

// What the device is: the udev database knows the model by name; the USB
// device's own strings come next, and a by-id link's name last.
void describe(FoundPort &port)
{
    const QByteArray record = PortScanPlatform::udevRecord(port.node);
    port.product = UdevProperty(record, "ID_MODEL_FROM_DATABASE");
    if (port.product.isEmpty())
        port.product = UdevProperty(record, "ID_MODEL").replace(QLatin1Char('_'), QLatin1Char(' '));
    port.vendor = UdevProperty(record, "ID_VENDOR_FROM_DATABASE");
    if (port.vendor.isEmpty())
        port.vendor = UdevProperty(record, "ID_VENDOR").replace(QLatin1Char('_'), QLatin1Char(' '));

    if (port.product.isEmpty() || port.vendor.isEmpty()) {
        const UsbAdapter usb = PortScanPlatform::usbAdapter(port.node);
        if (port.product.isEmpty())
            port.product = usb.product;
        if (port.vendor.isEmpty())
            port.vendor = usb.manufacturer;
    }
    // A by-path name tells where the adapter is plugged in, not what it is.
    if (port.product.isEmpty() && port.kind == FoundPort::ById)
        port.product = ProductFromLinkName(QFileInfo(port.path).fileName());
}

} // namespace

QString UdevProperty(const QByteArray &record, const QByteArray &key)
{
    const QByteArray prefix = "E:" + key + '=';
    for (const QByteArray &line : record.split('\n')) {
        if (line.startsWith(prefix))
            return QString::fromUtf8(line.mid(prefix.size())).trimmed();
    }
    return QString();
}

QList<FoundPort> FindSerialPorts(const QString &root)
{
    QList<FoundPort> found;
    const QDir::Filters entries = QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot;

    const auto addLinks = [&](const QString &folder, FoundPort::Kind kind) {
        const QDir dir(root + folder);
        const QStringList names = dir.entryList(entries, QDir::Name);
        for (const QString &name : names) {
            const QString path = dir.filePath(name);
            const QString node = QFileInfo(path).canonicalFilePath();
            // A link that leads nowhere, or to no device, takes no number.
            if (!node.isEmpty() && !PortScanPlatform::charDeviceId(node).isEmpty())
                found.append({kind, path, node, QString(), QString()});
        }
    };
    addLinks(QStringLiteral("/serial/by-id"), FoundPort::ById);
    addLinks(QStringLiteral("/serial/by-path"), FoundPort::ByPath);

    const QDir rootDir(root);
    const QStringList ttys = rootDir.entryList({QStringLiteral("tty*")}, entries, QDir::Name);
    for (const QString &name : ttys) {
        const QString path = rootDir.filePath(name);
        if (PortScanPlatform::isPresentSerialPort(path))
            found.append({FoundPort::Unnamed, path, QFileInfo(path).canonicalFilePath(), QString(), QString()});
    }

    QList<FoundPort> ordered = OrderFoundPorts(found);
    for (FoundPort &port : ordered)
        describe(port);
    return ordered;
}

QString FindByIdLink(const QString &root, const QString &device)
{
    const QString node = QFileInfo(device).canonicalFilePath();
    for (const FoundPort &port : FindSerialPorts(root))
        if (port.kind == FoundPort::ById && !node.isEmpty() && port.node == node)
            return port.path;
    return QString();
}

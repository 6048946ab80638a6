#include "portscan.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSerialPortInfo>

namespace {

#ifdef Q_OS_LINUX
constexpr bool kNodesTellPorts = true;
#else
constexpr bool kNodesTellPorts = false;
#endif

// What the device is: the udev database knows the model by name; Qt's own
// description comes next, and a by-id link's name last.
void describe(FoundPort &port, const QHash<QString, QSerialPortInfo> &systemPorts)
{
    const QByteArray record = PortScanPlatform::udevRecord(port.node);
    port.product = UdevProperty(record, "ID_MODEL_FROM_DATABASE");
    if (port.product.isEmpty())
        port.product = UdevProperty(record, "ID_MODEL").replace(QLatin1Char('_'), QLatin1Char(' '));
    port.vendor = UdevProperty(record, "ID_VENDOR_FROM_DATABASE");
    if (port.vendor.isEmpty())
        port.vendor = UdevProperty(record, "ID_VENDOR").replace(QLatin1Char('_'), QLatin1Char(' '));

    const auto info = systemPorts.constFind(port.node);
    if (info != systemPorts.constEnd()) {
        if (port.product.isEmpty())
            port.product = info->description();
        if (port.vendor.isEmpty())
            port.vendor = info->manufacturer();
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

    QHash<QString, QSerialPortInfo> systemPorts;
    if (!found.isEmpty() || !kNodesTellPorts) {
        const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
        for (const QSerialPortInfo &info : infos) {
            const QString node = QFileInfo(info.systemLocation()).canonicalFilePath();
            systemPorts.insert(node, info);
            // Linux tells from a node whether it is a serial port; elsewhere
            // Qt's list of ports serves.
            if (!kNodesTellPorts)
                found.append({FoundPort::Unnamed, info.systemLocation(), node, QString(), QString()});
        }
    }
    QList<FoundPort> ordered = OrderFoundPorts(found);
    for (FoundPort &port : ordered)
        describe(port, systemPorts);
    return ordered;
}

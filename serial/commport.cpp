#include "commport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>

namespace {

// The port list's descriptions are written in Chinese and told in the run's
// language.
struct CommPort
{
    Q_DECLARE_TR_FUNCTIONS(CommPort)
};

// Longer product names are cut to their first word in the list.
constexpr qsizetype kShortProductLength = 16;

// ttyS2 before ttyS10: names compare by their text, then by the number
// they end in.
bool naturalLess(const QString &a, const QString &b)
{
    const auto split = [](const QString &name) {
        qsizetype digits = name.size();
        while (digits > 0 && name.at(digits - 1).isDigit())
            --digits;
        return std::make_pair(name.left(digits), name.mid(digits));
    };
    const auto [stemA, numberA] = split(a);
    const auto [stemB, numberB] = split(b);
    if (stemA != stemB)
        return stemA < stemB;
    if (numberA.size() != numberB.size())
        return numberA.size() < numberB.size();
    return numberA < numberB;
}

// A node for the user: "ttyUSB0", "pts/7"; a path outside /dev as it is.
QString nodeName(const QString &device)
{
    const QLatin1String dev("/dev/");
    return device.startsWith(dev) ? device.mid(dev.size()) : device;
}

QString describe(const FoundPort &port)
{
    if (port.product.isEmpty())
        return port.vendor.isEmpty() ? CommPort::tr("串口设备") : port.vendor;
    if (port.vendor.isEmpty() || port.product.contains(port.vendor))
        return port.product;
    return CommPort::tr("%1（%2）", "a port's product and its maker").arg(port.product, port.vendor);
}

} // namespace

QString CommPortName(int n)
{
    return QStringLiteral("COM%1").arg(n);
}

std::optional<int> CommPortNumber(const QString &port)
{
    static const QRegularExpression com(QStringLiteral("^COM([0-9]+)$"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = com.match(port);
    if (!match.hasMatch())
        return 0;
    bool ok = false;
    const int n = match.captured(1).toInt(&ok);
    if (!ok || n < 1 || n > kCommPortMax)
        return std::nullopt;
    return n;
}

QString CommPortVariable(int n)
{
    return QStringLiteral("DIMRA_COM%1").arg(n);
}

QString DeviceRoot()
{
    QString root = qEnvironmentVariable("DIMRA_DEV_ROOT");
    while (root.size() > 1 && root.endsWith(QLatin1Char('/')))
        root.chop(1);
    return root.isEmpty() ? QStringLiteral("/dev") : root;
}

QList<FoundPort> OrderFoundPorts(QList<FoundPort> ports)
{
    std::stable_sort(ports.begin(), ports.end(), [](const FoundPort &a, const FoundPort &b) {
        if (a.kind != b.kind)
            return a.kind < b.kind;
        // Stable names sort as text; nodes of ports without one by number.
        if (a.kind == FoundPort::Unnamed)
            return naturalLess(a.path, b.path);
        return a.path < b.path;
    });
    QList<FoundPort> ordered;
    QSet<QString> taken;
    for (const FoundPort &port : std::as_const(ports)) {
        if (port.node.isEmpty() || taken.contains(port.node))
            continue;
        taken.insert(port.node);
        ordered.append(port);
    }
    return ordered;
}

QString ShortProductName(const QString &product)
{
    const QString name = product.simplified();
    if (name.size() <= kShortProductLength)
        return name;
    return name.section(QLatin1Char(' '), 0, 0);
}

QString ProductFromLinkName(const QString &linkName)
{
    QString name = linkName;
    // The bus the link names comes first, the interface and port last.
    for (const char *bus : {"usb-", "pci-", "platform-", "acpi-"}) {
        if (name.startsWith(QLatin1String(bus))) {
            name = name.mid(qsizetype(qstrlen(bus)));
            break;
        }
    }
    static const QRegularExpression interfacePart(QStringLiteral("-if[0-9a-fA-F]+(-port[0-9]+)?$"));
    name.remove(interfacePart);
    return name.replace(QLatin1Char('_'), QLatin1Char(' ')).simplified();
}

CommPortTarget ResolveCommPort(int n, const QList<FoundPort> &ordered, const QByteArray &override)
{
    if (!override.isEmpty()) {
        CommPortTarget target = CommPortTargetForPath(override);
        target.description = CommPort::tr("由环境变量 %1 指定").arg(CommPortVariable(n));
        target.label = QStringLiteral("%1 · %2").arg(nodeName(target.device), CommPortVariable(n));
        target.number = n;
        return target;
    }
    if (n >= 1 && n <= ordered.size()) {
        const FoundPort &port = ordered.at(n - 1);
        const QString product = ShortProductName(port.product);
        return {port.node, describe(port), QFile::encodeName(port.node), port.path,
                product.isEmpty() ? nodeName(port.node) : QStringLiteral("%1 · %2").arg(nodeName(port.node), product),
                n};
    }
    return NoDeviceTarget();
}

QList<int> ListedCommPortNumbers(QList<int> present)
{
    QList<int> listed;
    for (int n = 1; n <= kCommPortCount; ++n)
        listed.append(n);
    std::sort(present.begin(), present.end());
    for (const int n : std::as_const(present))
        if (n > listed.constLast() && n <= kCommPortMax)
            listed.append(n);
    return listed;
}

CommPortTargets ResolveListedCommPorts(const QList<FoundPort> &ordered, const QMap<int, QByteArray> &overrides)
{
    QList<int> present = overrides.keys();
    for (int n = 1; n <= ordered.size(); ++n)
        present.append(n);
    CommPortTargets targets;
    for (const int n : ListedCommPortNumbers(present))
        targets.insert(n, ResolveCommPort(n, ordered, overrides.value(n)));
    return targets;
}

QString PortsWithDeviceText(const CommPortTargets &targets)
{
    QStringList ports;
    for (auto it = targets.cbegin(); it != targets.cend(); ++it) {
        if (it->device.isEmpty())
            continue;
        const QString name = CommPortName(it.key());
        ports << (it->label.isEmpty() ? name : CommPort::tr("%1（%2）", "a port and what it opens").arg(name, it->label));
    }
    if (ports.isEmpty())
        return CommPort::tr("现在没有一个端口有设备。");
    return CommPort::tr("现在有设备的端口：%1。").arg(ports.join(CommPort::tr("、", "between the ports of a list")));
}

CommPortTarget NoDeviceTarget()
{
    return {QString(), CommPort::tr("没有对应的设备"), QByteArray(), QString(), CommPort::tr("（无设备）")};
}

CommPortTarget CommPortTargetForPath(const QByteArray &path)
{
    QByteArray absolute = path;
#ifndef Q_OS_WIN
    if (!absolute.isEmpty() && !absolute.startsWith('/'))
        absolute = QFile::encodeName(QDir::currentPath()) + '/' + absolute;
#endif
    const QString device = QFile::decodeName(absolute);
    return {device, QString(), absolute, device, nodeName(device)};
}

QString CommPortEntryText(int n, const CommPortTarget &target)
{
    const QString port = CommPortName(n);
    return target.label.isEmpty() ? port : QStringLiteral("%1  %2").arg(port, target.label);
}

#include "commport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSerialPortInfo>
#include <algorithm>

namespace {

// The port list's descriptions are written in Chinese and told in the run's
// language.
struct CommPort
{
    Q_DECLARE_TR_FUNCTIONS(CommPort)
};

bool isUsbAdapterName(const QString &name)
{
    return name.startsWith(QLatin1String("ttyUSB")) || name.startsWith(QLatin1String("ttyACM"));
}

// The variable's bytes as they are: a path need not be valid text.
QByteArray overrideFor(int n)
{
    return qgetenv(CommPortVariable(n).toLatin1().constData());
}

} // namespace

QString CommPortVariable(int n)
{
    return QStringLiteral("DIMRA_COM%1").arg(n);
}

QList<DetectedPort> OrderDetectedPorts(QList<DetectedPort> ports)
{
    std::stable_sort(ports.begin(), ports.end(), [](const DetectedPort &a, const DetectedPort &b) {
        if (a.usb != b.usb)
            return a.usb;
        return a.path < b.path;
    });
    return ports;
}

QList<DetectedPort> DetectSerialPorts()
{
    QList<DetectedPort> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos) {
        QString description = info.description();
        if (!info.manufacturer().isEmpty() && !description.contains(info.manufacturer()))
            description = description.isEmpty()
                ? info.manufacturer()
                : CommPort::tr("%1（%2）", "a port's description and its maker").arg(description, info.manufacturer());
        ports.append({info.systemLocation(), description,
                      isUsbAdapterName(info.portName()) || info.hasVendorIdentifier()});
    }
    return OrderDetectedPorts(ports);
}

CommPortTarget ResolveCommPort(int n, const QList<DetectedPort> &ordered, const QByteArray &override)
{
#ifdef Q_OS_WIN
    Q_UNUSED(ordered);
    Q_UNUSED(override);
    const QString name = QStringLiteral("COM%1").arg(n);
    return {name, name, name.toLatin1()};
#else
    if (!override.isEmpty()) {
        CommPortTarget target = CommPortTargetForPath(override);
        target.description = CommPort::tr("由环境变量 %1 指定").arg(CommPortVariable(n));
        return target;
    }
    if (n >= 1 && n <= ordered.size()) {
        const DetectedPort &port = ordered.at(n - 1);
        return {port.path, port.description.isEmpty() ? CommPort::tr("串口设备") : port.description,
                QFile::encodeName(port.path)};
    }
    return {QString(),
            CommPort::tr("本机没有第 %1 个串口设备；可设置环境变量 %2 指定设备路径")
                .arg(n)
                .arg(CommPortVariable(n)),
            QByteArray()};
#endif
}

CommPortTarget CommPortTargetForPath(const QByteArray &path)
{
    QByteArray absolute = path;
#ifndef Q_OS_WIN
    if (!absolute.isEmpty() && !absolute.startsWith('/'))
        absolute = QFile::encodeName(QDir::currentPath()) + '/' + absolute;
#endif
    return {QFile::decodeName(absolute), QString(), absolute};
}

CommPortTarget ResolveCommPort(int n)
{
#ifdef Q_OS_WIN
    return ResolveCommPort(n, {}, {});
#else
    // Detection is skipped when the environment names the device.
    const QByteArray override = overrideFor(n);
    return ResolveCommPort(n, override.isEmpty() ? DetectSerialPorts() : QList<DetectedPort>(), override);
#endif
}

QList<CommPortTarget> ResolveCommPorts(int count)
{
#ifdef Q_OS_WIN
    const QList<DetectedPort> detected;
#else
    const QList<DetectedPort> detected = DetectSerialPorts();
#endif
    QList<CommPortTarget> targets;
    for (int n = 1; n <= count; ++n)
        targets.append(ResolveCommPort(n, detected, overrideFor(n)));
    return targets;
}

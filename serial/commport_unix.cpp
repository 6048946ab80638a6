#include "commport.h"

#include "portscan.h"

#include <QCoreApplication>

namespace {

// The port list's descriptions are written in Chinese and told in the run's
// language.
struct CommPort
{
    Q_DECLARE_TR_FUNCTIONS(CommPort)
};

// The variable's bytes as they are: a path need not be valid text.
QByteArray overrideFor(int n)
{
    return qgetenv(CommPortVariable(n).toLatin1().constData());
}

} // namespace

CommPortTarget ResolveCommPort(int n)
{
    // No search when the environment names the device.
    const QByteArray override = overrideFor(n);
    return ResolveCommPort(n, override.isEmpty() ? FindSerialPorts(DeviceRoot()) : QList<FoundPort>(), override);
}

CommPortTargets ResolveListedCommPorts()
{
    QMap<int, QByteArray> overrides;
    for (int n = 1; n <= kCommPortMax; ++n)
        if (const QByteArray path = overrideFor(n); !path.isEmpty())
            overrides.insert(n, path);
    return ResolveListedCommPorts(FindSerialPorts(DeviceRoot()), overrides);
}

CSerialError NoDeviceError(int n)
{
    const QString port = CommPortName(n);
    return CSerialError(CommPort::tr("%1 没有对应的设备。请插上串口适配器，然后在端口列表中选择显示了设备名的一项。").arg(port),
                        CSerialError::NoSuchDevice,
                        CommPort::tr("从终端启动 Dimra 时，也可以用环境变量 %1 指定 %2 打开的设备，例如 %1=/dev/ttyUSB0。%3")
                            .arg(CommPortVariable(n), port, PortsWithDeviceText(ResolveListedCommPorts())));
}

#include "commport.h"

#include <QCoreApplication>
#include <QHash>

#include <iterator>

#include <windows.h>
// initguid.h first: GUID_DEVCLASS_PORTS is defined here, not only declared.
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>

namespace {

// The port list's descriptions are written in Chinese and told in the run's
// language.
struct CommPort
{
    Q_DECLARE_TR_FUNCTIONS(CommPort)
};

// Whether the system knows a device by the name COMn: built-in ports,
// adapters and virtual ports alike, and under Wine the ports it maps.
bool portPresent(int n)
{
    const QString name = CommPortName(n);
    wchar_t target[512];
    return QueryDosDeviceW(reinterpret_cast<const wchar_t *>(name.utf16()), target, DWORD(std::size(target))) != 0
        || GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

// The names the Device Manager shows under "Ports (COM & LPT)", by port
// name in capitals ("COM3" → "USB-SERIAL CH340 (COM3)").
QHash<QString, QString> friendlyNames()
{
    QHash<QString, QString> names;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return names;
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        wchar_t port[64] = {};
        DWORD size = sizeof port - sizeof(wchar_t);
        DWORD type = 0;
        const bool named = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE *>(port), &size)
                == ERROR_SUCCESS
            && type == REG_SZ;
        RegCloseKey(key);
        wchar_t friendly[256] = {};
        if (named
            && SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, nullptr,
                                                 reinterpret_cast<BYTE *>(friendly), sizeof friendly - sizeof(wchar_t),
                                                 nullptr))
            names.insert(QString::fromWCharArray(port).toUpper(), QString::fromWCharArray(friendly));
    }
    SetupDiDestroyDeviceInfoList(set);
    return names;
}

} // namespace

CommPortTarget WindowsCommPortTarget(int n, bool present, const QString &friendlyName)
{
    if (!present)
        return NoDeviceTarget();
    const QString name = CommPortName(n);
    const QString suffix = QStringLiteral("(%1)").arg(name);
    QString product = friendlyName.simplified();
    if (product.endsWith(suffix, Qt::CaseInsensitive))
        product = product.chopped(suffix.size()).trimmed();
    return {name, product.isEmpty() ? CommPort::tr("串口设备") : product, name.toLatin1(), name,
            ShortProductName(product), n};
}

CommPortTarget ResolveCommPort(int n)
{
    const QString name = CommPortName(n);
    const QHash<QString, QString> names = friendlyNames();
    return WindowsCommPortTarget(n, names.contains(name) || portPresent(n), names.value(name));
}

CommPortTargets ResolveListedCommPorts()
{
    // The number is the system's own: every one a device may have is asked.
    const QHash<QString, QString> names = friendlyNames();
    QList<int> present;
    for (int n = 1; n <= kCommPortMax; ++n)
        if (names.contains(CommPortName(n)) || portPresent(n))
            present.append(n);
    CommPortTargets targets;
    for (const int n : ListedCommPortNumbers(present))
        targets.insert(n, WindowsCommPortTarget(n, present.contains(n), names.value(CommPortName(n))));
    return targets;
}

// Windows has no other name for a port: nothing to set instead.
CSerialError NoDeviceError(int n)
{
    return CSerialError(CommPort::tr("%1 没有对应的设备。请插上串口适配器，然后在端口列表中选择显示了设备名的一项。")
                            .arg(CommPortName(n)),
                        CSerialError::NoSuchDevice, PortsWithDeviceText(ResolveListedCommPorts()));
}

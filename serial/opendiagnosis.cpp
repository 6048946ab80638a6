#include "opendiagnosis.h"

namespace {

QString hex4(quint16 id)
{
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
}

} // namespace

CSerialError UndiagnosedOpenFailure(const QString &where, const QString &systemText)
{
    return CSerialError(OpenDiagnosis::tr("无法打开串口 %1，原因未能确定。系统给出的说明见详细信息。").arg(where),
                        CSerialError::Failed, systemText);
}

QString PermissionAdvice(const QString &where, const DeviceAccess &device)
{
    const bool groupMayReadWrite = (device.mode & 060) == 060;
    if (device.groupId != 0 && groupMayReadWrite && !device.groupName.isEmpty())
        return OpenDiagnosis::tr("没有权限打开串口 %1。请把当前用户加入拥有该设备的用户组 %2"
                              "（例如执行 sudo usermod -aG %2 $USER），然后重新登录。")
            .arg(where, device.groupName);
    if (device.kernelName.startsWith(QLatin1String("pts/")))
        return OpenDiagnosis::tr("没有权限打开 %1：它是另一个用户的伪终端，只有那个用户可以打开它。"
                              "请以那个用户的身份运行本程序。")
            .arg(where);
    const QString rule = device.usb
        ? QStringLiteral("SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"%1\", ATTRS{idProduct}==\"%2\", TAG+=\"uaccess\"")
              .arg(hex4(device.vendorId), hex4(device.productId))
        : QStringLiteral("SUBSYSTEM==\"tty\", KERNEL==\"%1\", TAG+=\"uaccess\"").arg(device.kernelName);
    const QString apply = device.usb ? OpenDiagnosis::tr("然后拔下适配器再插上")
                                     : OpenDiagnosis::tr("然后执行 sudo udevadm trigger --subsystem-match=tty");
    return OpenDiagnosis::tr("没有权限打开串口 %1，而且没有哪个用户组可以读写它。"
                          "可以用 udev 规则把它交给在桌面登录的用户：新建文件 /etc/udev/rules.d/70-dimra.rules，"
                          "写入一行 %2，%3。")
        .arg(where, rule, apply);
}

#include "opendiagnosis.h"

CSerialError UndiagnosedOpenFailure(const QString &where, const QString &systemText)
{
    return CSerialError(QStringLiteral("无法打开串口 %1，原因未能确定。系统给出的说明见详细信息。").arg(where),
                        CSerialError::Failed, systemText);
}

QString PermissionAdvice(const QString &where, unsigned groupId, unsigned mode, const QString &groupName)
{
    const bool groupMayReadWrite = (mode & 060) == 060;
    if (groupId != 0 && groupMayReadWrite && !groupName.isEmpty())
        return QStringLiteral("没有权限打开串口 %1。请把当前用户加入拥有该设备的用户组 %2"
                              "（例如执行 sudo usermod -aG %2 $USER），然后重新登录。")
            .arg(where, groupName);
    return QStringLiteral("没有权限打开串口 %1，而且没有哪个用户组可以读写它。"
                          "可以用 udev 规则把它交给 dialout 组：在 /etc/udev/rules.d/ 下新建一个文件"
                          "（例如 /etc/udev/rules.d/50-dimra.rules），写入一行 "
                          "SUBSYSTEM==\"tty\", KERNEL==\"ttyUSB*\", GROUP=\"dialout\", MODE=\"0660\"，"
                          "然后拔下设备再插上，并把当前用户加入 dialout 组（sudo usermod -aG dialout $USER）后重新登录。")
        .arg(where);
}

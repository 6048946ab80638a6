#include "bridgeconfig.h"

#include "bridgemessages.h"
#include "portscan.h"

#include <QFileInfo>

QString accessWarning(const QString &file, QFileDevice::Permissions permissions)
{
    if (!(permissions & (QFileDevice::ReadGroup | QFileDevice::ReadOther)))
        return QString();
    return DimraMqtt::tr("warning: %1 can be read by others than its owner; \"chmod go-rwx %1\" keeps it to its owner")
        .arg(file);
}

QString BridgeConfigPlatform::accessWarning(const QString &file)
{
    return ::accessWarning(file, QFileInfo(file).permissions());
}

QString BridgeConfigPlatform::byIdLink(const QString &device)
{
    return FindByIdLink(DeviceRoot(), device);
}

#pragma once

#include "protocolnumbers.h"

#include <QString>

// What the user reads, as the tests compare it, written once.
namespace UserText {

inline const QString kTitle = QStringLiteral("PWM调光器 v1.0 ");
inline const QString kConnect = QStringLiteral("连接光源控制器");
inline const QString kDisconnect = QStringLiteral("断开光源控制器");
inline const QString kAboutCommand = QStringLiteral("关于 Dimra(&A)...");
inline const QString kAboutTitle = QStringLiteral("关于 Dimra");
inline const QString kAboutVersion = QStringLiteral("Dimra，1.0 版");

// Validation messages, all starting with kValidation.
inline const QString kValidation = QStringLiteral("请输入");
inline const QString kAskInteger = QStringLiteral("请输入一个整数。");
inline const QString kChannelRange =
    QStringLiteral("请输入一个介于 %1 和 %2 之间的整数。").arg(Dimra::kDutyMin).arg(Dimra::kDutyMax);
inline const QString kFrequencyRange =
    QStringLiteral("请输入一个介于 %1 和 %2 之间的整数。").arg(Dimra::kFrequencyMin).arg(Dimra::kFrequencyMax);

// An entry of the port list with no device behind its number.
inline const QString kNoDeviceEntry = QStringLiteral("（无设备）");

// Words the serial errors carry: a lost device, a port another program
// holds, a device the user may not open.
inline const QString kLinkLost = QStringLiteral("中断");
inline const QString kInUse = QStringLiteral("占用");
inline const QString kNoPermission = QStringLiteral("没有权限");

} // namespace UserText

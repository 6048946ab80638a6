#pragma once

#include "protocolnumbers.h"

#include <QProcessEnvironment>
#include <QRegularExpression>
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

// Whether a text holds a Chinese character (or CJK punctuation, or a
// full-width form): what a user of the English interface must never see.
inline bool HasCjk(const QString &text)
{
    static const QRegularExpression cjk(QStringLiteral("[\\x{3000}-\\x{303F}\\x{3400}-\\x{9FFF}\\x{F900}-\\x{FAFF}\\x{FF00}-\\x{FFEF}]"));
    return text.contains(cjk);
}

// The environment of a program that a user runs with LANG=locale and no
// other language setting.
inline QProcessEnvironment LocaleEnvironment(const QString &locale)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("LANG"), locale);
    return env;
}

} // namespace UserText

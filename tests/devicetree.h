#pragma once

#include "envoverride.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

// A folder of the test's own in place of /dev (DIMRA_DEV_ROOT) while it
// lives. An adapter is plugged in as udev does it, a link such as
// serial/by-id/usb-A to its node (a pseudo-terminal), replaced in one step;
// unplugged by taking the link away.
class DeviceTree
{
public:
    DeviceTree() : m_rootOverride("DIMRA_DEV_ROOT", QFile::encodeName(m_dir.path())) {}

    bool isValid() const { return m_dir.isValid(); }
    QString root() const { return m_dir.path(); }
    QString path(const QString &entry) const { return m_dir.filePath(entry); }
    bool plug(const QString &entry, const QString &target)
    {
        const QString link = path(entry);
        const QString staged = link + QStringLiteral(".new");
        QFile::remove(staged);
        return QDir().mkpath(QFileInfo(link).path()) && QFile::link(target, staged)
            && std::rename(QFile::encodeName(staged).constData(), QFile::encodeName(link).constData()) == 0;
    }
    bool unplug(const QString &entry) { return QFile::remove(path(entry)); }

private:
    QTemporaryDir m_dir;
    EnvOverride m_rootOverride;
};

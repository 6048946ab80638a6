#include "devicetree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <unistd.h>

DeviceTree::DeviceTree() : m_rootOverride("DIMRA_DEV_ROOT", QFile::encodeName(m_dir.path()))
{
}

QString DeviceTree::path(const QString &entry) const
{
    return m_dir.filePath(entry);
}

bool DeviceTree::plug(const QString &entry, const QString &target)
{
    const QString link = path(entry);
    if (!QDir().mkpath(QFileInfo(link).path()))
        return false;
    const QByteArray staged = QFile::encodeName(link + QStringLiteral(".new"));
    ::unlink(staged.constData());
    return ::symlink(QFile::encodeName(target).constData(), staged.constData()) == 0
        && std::rename(staged.constData(), QFile::encodeName(link).constData()) == 0;
}

bool DeviceTree::unplug(const QString &entry)
{
    return ::unlink(QFile::encodeName(path(entry)).constData()) == 0;
}

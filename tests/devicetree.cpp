#include "devicetree.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

bool DeviceTree::plug(const QString &entry, const QString &target)
{
    const QString link = path(entry);
    const QString staged = link + QStringLiteral(".new");
    QFile::remove(staged);
    return QDir().mkpath(QFileInfo(link).path()) && QFile::link(target, staged)
        && std::rename(QFile::encodeName(staged).constData(), QFile::encodeName(link).constData()) == 0;
}

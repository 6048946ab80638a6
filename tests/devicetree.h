#pragma once

#include "envoverride.h"

#include <QString>
#include <QTemporaryDir>

// A device folder of the test's own that stands in for /dev while the tree
// lives (DIMRA_DEV_ROOT): an adapter is plugged in as udev does it, as a
// link in serial/by-id or serial/by-path to its node, here a
// pseudo-terminal, and unplugged by taking the link away.
class DeviceTree
{
public:
    DeviceTree();

    bool isValid() const { return m_dir.isValid(); }
    QString root() const { return m_dir.path(); }
    // The path of an entry: "serial/by-id/usb-A" gives <root>/serial/by-id/usb-A.
    QString path(const QString &entry) const;

    // Links entry (a path below the root) to target, replacing a link of
    // that name in one step as udev does; makes the folders it needs.
    bool plug(const QString &entry, const QString &target);
    bool unplug(const QString &entry);

private:
    QTemporaryDir m_dir;
    EnvOverride m_rootOverride;
};

#include "portwatcher.h"

#include <QFileInfo>

namespace {

// Long enough for udev to add an adapter's links after its node, short
// enough that the list follows within a fraction of a second.
constexpr int kSettleMs = 200;

} // namespace

CPortWatcher::CPortWatcher(QObject *parent)
    : QObject(parent), m_targets(ResolveListedCommPorts())
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &CPortWatcher::refresh);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &CPortWatcher::onFolderChanged);
    watchFolders();
}

void CPortWatcher::watchFolders()
{
    // The root shows a serial/ folder appearing and nodes of ports without
    // a stable name; the link folders show adapters with one. A folder
    // removed drops out of the watch and comes back when it reappears.
    const QStringList folders = {m_root, m_root + QStringLiteral("/serial"), m_root + QStringLiteral("/serial/by-id"),
                                 m_root + QStringLiteral("/serial/by-path")};
    const QStringList watched = m_watcher.directories();
    for (const QString &folder : folders) {
        if (!watched.contains(folder) && QFileInfo(folder).isDir())
            m_watcher.addPath(folder);
    }
}

void CPortWatcher::onFolderChanged()
{
    // The first change of a burst starts the wait; the rest join it.
    if (!m_settle.isActive())
        m_settle.start();
}

void CPortWatcher::refresh()
{
    m_settle.stop();
    watchFolders();
    const CommPortTargets targets = ResolveListedCommPorts();
    if (targets == m_targets)
        return;
    m_targets = targets;
    emit targetsChanged();
}

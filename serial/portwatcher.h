#pragma once

#include "commport.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

// Keeps what the port list's numbers open up to date while adapters come
// and go (a number above COM12 comes and goes with its device). It watches the device root and its serial link folders; a change
// there is looked at once the burst it belongs to has settled (udev makes
// the node first and the links a moment later), and targetsChanged() says
// when a number now opens something else. Nothing runs while nothing
// changes: no timer polls.
class CPortWatcher : public QObject
{
    Q_OBJECT

public:
    explicit CPortWatcher(QObject *parent = nullptr);

    const CommPortTargets &targets() const { return m_targets; }
    // Looks again now, announcing a change as a folder change would.
    void refresh();
    // A change was seen and will be looked at shortly.
    bool settling() const { return m_settle.isActive(); }

signals:
    void targetsChanged();

private:
    void watchFolders();
    void onFolderChanged();

    QString m_root = DeviceRoot();
    CommPortTargets m_targets;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
};

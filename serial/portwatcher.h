#pragma once

#include "commport.h"

#include <QFileSystemWatcher>
#include <QList>
#include <QObject>
#include <QTimer>

// Keeps what port numbers 1 to count open up to date while adapters come
// and go. It watches the device root and its serial link folders; a change
// there is looked at once the burst it belongs to has settled (udev makes
// the node first and the links a moment later), and targetsChanged() says
// when a number now opens something else. Nothing runs while nothing
// changes: no timer polls.
class CPortWatcher : public QObject
{
    Q_OBJECT

public:
    explicit CPortWatcher(int count, QObject *parent = nullptr);

    const QList<CommPortTarget> &targets() const { return m_targets; }
    // Looks again now, announcing a change as a folder change would.
    void refresh();
    // A change was seen and will be looked at shortly.
    bool settling() const { return m_settle.isActive(); }

signals:
    void targetsChanged();

private:
    void watchFolders();
    void onFolderChanged();

    int m_nCount;
    QString m_root = DeviceRoot();
    QList<CommPortTarget> m_targets;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
};

#pragma once

#include "commport.h"
#include "portwatcher.h"

#include <QObject>

class QComboBox;

// The port list, COM1 to COM12 by position: each entry says what its
// number opens ("COM1  ttyUSB0 · CH340", an empty number as such), its
// tooltip the full path and what the device is. The entries follow
// adapters as they come and go while the window is open; the selection
// stays where the user put it.
class CPortList : public QObject
{
    Q_OBJECT

public:
    CPortList(QComboBox *combo, QObject *parent);

    // What each entry opens (port number index + 1), as last seen.
    const QList<CommPortTarget> &targets() const { return m_watcher.targets(); }
    // Looks at the devices again now.
    void refresh() { m_watcher.refresh(); }

signals:
    // An entry now opens something else; the list already shows it.
    void targetsChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showTargets();
    // The box's own tooltip is that of the entry it shows.
    void showCurrentTip();

    QComboBox *m_combo;
    QObject *m_view; // the open list; asking the combo for it inside the filter would recurse
    CPortWatcher m_watcher;
};

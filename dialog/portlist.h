#pragma once

#include "commport.h"
#include "portwatcher.h"

#include <QObject>

class QComboBox;

// The port list: COM1 to COM12, then every higher number that has a device
// (ListedCommPortNumbers), each entry holding its number. Each entry says
// what its number opens ("COM1  ttyUSB0 · CH340", an empty number as such),
// its tooltip the full path and what the device is. The entries follow
// adapters as they come and go while the window is open; the selection
// stays on the number the user put it on, which keeps its entry while it is
// selected even when its device goes away.
class CPortList : public QObject
{
    Q_OBJECT

public:
    // combo holds COM1 to COM12 in order.
    CPortList(QComboBox *combo, QObject *parent);

    // What the listed numbers open, as last seen.
    const CommPortTargets &targets() const { return m_watcher.targets(); }
    // Looks at the devices again now.
    void refresh() { m_watcher.refresh(); }
    // The number of the entry selected.
    int currentNumber() const;
    // Selects the entry of port number n (1 to kCommPortMax), making one for
    // a number the list does not show.
    void select(int n);

signals:
    // An entry now opens something else; the list already shows it.
    void targetsChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showTargets();
    int numberAt(int index) const;
    // The box's own tooltip is that of the entry it shows.
    void showCurrentTip();

    QComboBox *m_combo;
    QObject *m_view; // the open list; asking the combo for it inside the filter would recurse
    CPortWatcher m_watcher;
};

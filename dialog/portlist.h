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
// selected even when its device goes away. A device path given at start
// that no number opens is one number's entry for the rest of the run, and
// that entry opens that path. A board behind a bridge (an mqtt:// address,
// given at start or linked on last) is an entry of its own, first in the
// list, for the rest of the run.
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
    // The number of the entry selected (kRemoteEntry for the address).
    int currentNumber() const;
    // The number of the address's entry, which no port has.
    static constexpr int kRemoteEntry = -1;
    // Selects the entry of port number n (1 to kCommPortMax), making one for
    // a number the list does not show.
    void select(int n);
    // Selects the entry for port, COMn or a device path, at start: a path
    // selects the entry that opens that device (a link counts as the device
    // it leads to); a path no entry opens takes the first number that opens
    // nothing, or the one after the last when every number opens something;
    // an mqtt:// address selects its own entry.
    void selectAtStart(const QString &port);
    // What the link opens for the entry of number n: COMn, the path it was
    // given at start, or the address.
    QByteArray portName(int n) const;

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
    int m_pathNumber = 0; // the entry given a path at start, and what that path opens
    CommPortTarget m_pathTarget;
    QString m_remote; // the address of the board behind a bridge; empty while there is none
};

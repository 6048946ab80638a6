#pragma once

#include <QObject>

class QComboBox;

// Shows, for each entry COM1...COM12 of the port list, which device it
// opens on this machine. Looked up again whenever the list opens or the
// tooltip is asked for, since adapters come and go.
class CPortTips : public QObject
{
    Q_OBJECT

public:
    CPortTips(QComboBox *combo, QObject *parent);

    // Refreshes every entry's tooltip and the list's own.
    void refresh();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QComboBox *m_combo;
    QObject *m_view; // the open list; asking the combo for it inside the filter would recurse
};

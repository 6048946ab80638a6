#pragma once

#include <QObject>

class QAbstractSlider;

// Tells the dialog that a slider has redrawn itself: after every change of
// its position, by the user or by program, and every change of its enabled
// state. Like repaints, requests merge until the notification is delivered
// through the event loop, so a burst of moves makes one notification that
// sees the final position.
class CRedrawNotifier : public QObject
{
    Q_OBJECT

public:
    CRedrawNotifier(QAbstractSlider *slider, QObject *parent);

signals:
    void redraw();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void request();

    bool m_bPending = false;
};

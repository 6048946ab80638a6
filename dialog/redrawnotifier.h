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

    // Asks for a redraw that no change of the slider announces (a position
    // set to the one it holds already, after a clamp).
    void request();
    // While off, enabling or disabling the slider asks for no redraw.
    void setWatchEnabledChange(bool watch) { m_watchEnabled = watch; }

signals:
    void redraw();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_pending = false;
    bool m_watchEnabled = true;
};

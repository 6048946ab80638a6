#pragma once

#include "commport.h"

class CAbstractBoardLink;

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

// The window's habits with adapters beyond one click of Connect (which
// adapter a port leads to, and which one a loss took away, the link knows):
//  - the adapter the window last linked on, remembered across runs by its
//    stable name (CommPortTarget::identity) in the user's config folder, so
//    that the next start selects it whatever number it has then; a board
//    behind a bridge is remembered by its address;
//  - when the user asks for it (reconnects()), the wait for the adapter a
//    loss took away: adapterBack() says when it is there again. A board
//    behind a bridge has no adapter to wait for: its loss is told, and
//    nothing is waited for.
// The settings file holds the remembered adapter and the reconnect choice,
// nothing else.
class CPortChoice : public QObject
{
    Q_OBJECT

public:
    // What a port that closed by itself means for the window.
    enum class Loss {
        None,   // no port was open: nothing was lost
        Tell,   // lost: tell the user, who connects again by hand
        Notice, // lost: tell the user without a box in the way, and wait for the adapter
        Quiet,  // lost again before the board answered a reconnect: already told, wait on
    };

    CPortChoice(const CAbstractBoardLink &link, QObject *parent);

    // The window's link from now on, when it made one of another kind.
    void follow(const CAbstractBoardLink &link);

    // dimra/dimra.conf in the user's config folder ($XDG_CONFIG_HOME, else
    // ~/.config).
    static QString settingsPath();

    // The number, among what the numbers open now, of the adapter linked on
    // last, in this run or an earlier one; 0 when none of them is it.
    int rememberedNumber(const CommPortTargets &targets) const;
    // The address of the board behind a bridge linked on last; empty when
    // the last link was a serial port's.
    QString rememberedAddress() const;

    bool reconnects() const { return m_reconnect; }
    void setReconnects(bool on);

    // Closed by hand, which also ends a wait.
    void closed();
    // The port closed by itself: the device went away.
    Loss portClosed();

    // Waiting for the lost adapter to come back.
    bool waiting() const { return m_wait.isActive(); }
    // Why the window waits, for the link mark's tooltip.
    QString waitingText() const;
    // Opening the adapter that came back failed (udev not done with it
    // yet, say); the wait goes on and the next look tries again.
    void retryFailed(const QString &why);
    // Whether the lost adapter is back. The wait looks every kLookMs; the
    // window also asks whenever the port list has seen a change.
    void look();

    static constexpr int kLookMs = 250;

signals:
    // The adapter waited for is there again, as port number n.
    void adapterBack(int port);

private:
    void rememberAdapter();
    void stopWaiting();

    const CAbstractBoardLink *m_link;
    bool m_open = false;    // the window has a port open
    bool m_reconnect = false;
    bool m_told = false;    // a loss was told and no board has answered since
    QString m_lastTry;      // why the last try to reopen failed
    bool m_trying = false;  // adapterBack() is being handled
    QTimer m_wait;
};

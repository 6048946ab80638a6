#pragma once

#include "commport.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

// Which adapter the window works with beyond one click of Connect, kept
// apart from the window (and free of widgets) so that it can move to the
// link:
//  - the adapter the window last linked on, remembered across runs by its
//    stable name (CommPortTarget::identity) in the user's config folder, so
//    that the next start selects it whatever number it has then;
//  - the adapter a loss took away: its entry opens it again under its new
//    node, and another adapter in its place only after the user was told;
//  - when the user asks for it (reconnects()), the wait for that same
//    adapter after a loss: adapterBack() says when it is there again.
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

    explicit CPortChoice(QObject *parent);

    // dimra/dimra.conf in the user's config folder ($XDG_CONFIG_HOME, else
    // ~/.config).
    static QString settingsPath();

    // The entry, among what the numbers open now, of the adapter linked on
    // last, in this run or an earlier one; -1 when none of them is it.
    int rememberedIndex(const QList<CommPortTarget> &targets) const;
    // The number to select at start for port, COMn or a device path: a
    // path selects the entry that opens that device (a link counts as the
    // device it leads to); a path no entry opens takes the first number
    // that opens nothing, as DIMRA_COM<n>=path would. 0 when there is none.
    static int numberAtStart(const QString &port, const QList<CommPortTarget> &targets);

    bool reconnects() const { return m_bReconnect; }
    void setReconnects(bool on);

    // The window opened port number n, which leads to target.
    void opened(int port, const CommPortTarget &target);
    // The board answered: this adapter is the one to select next time.
    void linked();
    // Closed by hand, which also ends a wait.
    void closed();
    // The port closed by itself: the device went away.
    Loss portClosed();
    // When port n now leads to another adapter than the one a loss took
    // from it: that one, once; the next call lets the new one be.
    std::optional<CommPortTarget> takeReplaced(int port, const CommPortTarget &target);

    // Waiting for the lost adapter to come back.
    bool waiting() const { return m_wait.isActive(); }
    // Why the window waits, for the link mark's tooltip.
    QString waitingText() const;
    // Opening the adapter that came back failed (udev not done with it
    // yet, say); the next look tries again.
    void retryFailed(const QString &why);
    // Whether the lost adapter is back. The wait looks every kLookMs; the
    // window also asks whenever the port list has seen a change.
    void look();

    static constexpr int kLookMs = 250;

signals:
    // The adapter waited for is there again, as port number n.
    void adapterBack(int port);

private:
    struct OpenedPort
    {
        int number = 0;
        CommPortTarget target;
    };
    void stopWaiting();

    std::optional<OpenedPort> m_opened; // the port is open on this adapter
    std::optional<OpenedPort> m_lost;   // the adapter a loss took away
    bool m_bReconnect = false;
    bool m_bTold = false;               // a loss was told and no board has answered since
    QString m_strLastTry;               // why the last try to reopen failed
    bool m_bTrying = false;             // adapterBack() is being handled
    QTimer m_wait;
};

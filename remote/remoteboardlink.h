#pragma once

#include "abstractboardlink.h"
#include "bridgemessages.h"
#include "remoteaddress.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QStringList>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>

class CMqttClient;
struct RemoteFailure;

// A board that dimra-mqtt serves on another computer, reached over the
// broker: the board behind mqtt://[user@]host[:port]/<board-id>.
//
//   program ── CRemoteBoardLink ── CMqttClient ── broker ── dimra-mqtt ── line ── board
//
// open connects to the broker and reads, as they are kept and as they
// change, the board's availability, state and error topics and every
// bridge's status and boards list. Then, as the open-link frame does on a
// line, it asks the board to report (an empty message on dimra/<id>/get),
// and the board counts as linked once the bridge has published its state
// since: linked, with a known state, reported online by a bridge that runs
// and lists it. requestReport asks again, and so links again on the fresh
// state. While linked, every value of the state that changes is reported
// (valueReported), except the echo of a setting this link sent itself, as
// a board on a line does not answer a setting; unlinked() says when the
// bridge reports the board offline or stops, and linked() comes again once
// both are back.
//
// A setting goes out as a command on dimra/<id>/set. Settings that come
// quicker merge under their code, the newest value winning, and a value
// goes at most once every kCommandSpacingMs, the last one always: a drag
// never leaves a backlog on the broker or the bridge. A refusal on the
// board's error topic while a setting of this link has not yet shown in the
// state is this link's, and refused() tells it.
//
// There is no lock and nothing is "in use": the broker passes every
// client's commands, and the last one wins. A broker that cannot be
// reached, refuses the user or goes away ends the link (lost, with its
// kind); it is not tried again. Whatever libmosquitto says from inside its
// own loop is taken up from the event loop, where the client may be
// stopped, and waits while the events are held.
class CRemoteBoardLink : public CAbstractBoardLink
{
    Q_OBJECT

public:
    static constexpr int kCommandSpacingMs = 10;

    explicit CRemoteBoardLink(QObject *parent = nullptr);
    ~CRemoteBoardLink() override;

    // Throws CSerialError: NoSuchDevice for an address that is none, Failed
    // for a password file that cannot be read. Whether the broker can be
    // reached comes later, as lost() with its kind.
    void open(const QByteArray &port) override;
    void requestReport() override;
    void send(int code, int value) override;
    // What waits is published at once, and the session ends cleanly once the
    // broker has taken everything (unsubscribing), waiting at most a broker's
    // round trips and marginMs more.
    CloseOutcome close(int marginMs = kCloseMarginMs) override;

    bool isOpen() const override { return m_bOpen; }
    bool isLinked() const override { return m_bLinked; }
    const BoardValues &reported() const override { return m_reported; }
    // The address, as messages show it.
    QString devicePath() const override { return m_address.text(); }
    QString lossText() const override { return m_strLossText; }
    QString lossDetails() const override { return QString(); }
    LossKind lossKind() const override { return m_lossKind; }
    QString notLinkedText() const override;

    void holdEvents() override { ++m_nHold; }
    void releaseEvents() override;

private:
    // Runs event for this session now, or once the events are released.
    void take(int session, const std::function<void()> &event);
    void deliverHeld();
    void onConnected();
    void onMessage(const QString &topic, const QByteArray &payload, bool retained);
    void fail(const RemoteFailure &failure);
    // Ends the session on this side: closed, nothing waiting, nothing more taken up.
    void letGo();
    // Links, unlinks or reports what changed, as the state now says.
    void follow();
    // The value is the echo of one this link sent: it and those before it are confirmed.
    bool confirm(int code, int value);
    // Settings this link sent have yet to show in the state.
    bool echoesAwaited() const;
    // The bridge that serves the board: one that runs and lists it, else
    // any that lists it; empty when none does.
    QString servingBridge() const;
    bool bridgeRuns(const QString &bridge) const;
    void publishGet();
    // Publishes what waits and is due, or all of it.
    void flush(bool all);
    void flushLater();

    RemoteAddress m_address;
    std::unique_ptr<CMqttClient> m_client;
    int m_nSession = 0; // what an earlier session, or a closed one, still sends is dropped
    bool m_bOpen = false;
    bool m_bConnected = false;
    bool m_bLinked = false;
    bool m_bReportAsked = false; // the next state the bridge publishes answers it
    bool m_bLost = false;
    bool m_bKnown = false;       // the broker keeps something of the board
    BoardState m_state;
    QByteArray m_availability;
    QHash<QString, QByteArray> m_bridgeStatus;   // bridge id -> online / offline
    QHash<QString, QStringList> m_bridgeBoards;  // bridge id -> the boards it lists
    BoardValues m_reported;
    BoardValues m_waiting; // given to send and not yet published
    std::array<qint64, Dimra::kCommandCount> m_lastSentNs{}; // on m_clock
    // By code, oldest first: the values published that the state has not shown yet.
    std::array<QList<int>, Dimra::kCommandCount> m_unconfirmed;
    QElapsedTimer m_clock;
    QTimer m_paceTimer;
    bool m_bFlushPosted = false;
    int m_nHold = 0;
    QList<std::function<void()>> m_held;
    LossKind m_lossKind = LinkBroken;
    QString m_strLossText;
};

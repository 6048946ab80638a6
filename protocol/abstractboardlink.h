#pragma once

// One board, wherever it sits: the one interface the window, dimractl and
// the bench talk to. A board on a port of this computer is a CBoardLink
// (link/); one that dimra-mqtt serves from another is a CRemoteBoardLink
// (remote/), reached over the broker; CBoardLinkFactory (linkfactory/)
// makes the one a port's name calls for.
//
// Why here, beside the codec: both links stand on this interface and
// neither may stand on the other, so it must lie below both, and the
// protocol is what does: Qt Core only, the home of BoardValues and of the
// words every link speaks (a command's code, its value). It knows no port
// and no broker, holds no state and runs no code: only what a program may
// ask of a board and the events it hears back.
//
// Its words are those of the serial link, which every program was written
// against: a link opens by the name the user gives; requestReport asks the
// board for its values; a setting is sent merged under its code, the newest
// value winning over an older one that still waits; close lets what waits
// go out before it lets go. Opening, asking and sending throw CSerialError
// (serial/serialerror.h), whose kinds the programs already tell apart.

#include "dimraprotocol.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class CAbstractBoardLink : public QObject
{
    Q_OBJECT

public:
    // How a close ended: what waited went out and the far end took it
    // (a line carried it, a broker took it), the time given ran out first,
    // or the link was found lost.
    enum CloseOutcome { Drained, TimedOut, DeviceLost };
    // What ended a link that nobody closed (lost): it broke, or the far end
    // it leads to was never reached (no such host, a refused connection),
    // or would not let this user in.
    enum LossKind { LinkBroken, NotReached, NotAllowed };

    // How long a board may take to answer before a program says that it
    // does not.
    static constexpr int kAnswerWaitMs = 3000;
    // How much longer than what waits needs a close may wait for it.
    static constexpr int kCloseMarginMs = 500;

    using QObject::QObject;

    // Opens the board the name gives, and asks it to report (linked() once
    // it has). Throws CSerialError.
    virtual void open(const QByteArray &port) = 0;
    // Asks the board to report again; forgets the link flag and what was
    // reported so far, so that an earlier report is never taken for the
    // answer. Throws CSerialError.
    virtual void requestReport() = 0;
    // Sends one setting, merged under its code with an older value that
    // still waits. Throws CSerialError.
    virtual void send(int code, int value) = 0;
    // The one way a link is closed on purpose: what waits goes out, the far
    // end takes it (waiting at most what that needs and marginMs more), and
    // only then does the link let go. A link found lost counts as a loss
    // (lossText).
    virtual CloseOutcome close(int marginMs = kCloseMarginMs) = 0;

    virtual bool isOpen() const = 0;
    // The board has reported since open or requestReport, and still counts
    // as there.
    virtual bool isLinked() const = 0;
    // What the board reported since it linked, by code; empty where nothing was.
    virtual const BoardValues &reported() const = 0;
    // What the link is open on (or was last), for messages: a device, an
    // address.
    virtual QString devicePath() const = 0;
    // What the last loss was, in a sentence and in the system's own words,
    // and of which kind.
    virtual QString lossText() const = 0;
    virtual QString lossDetails() const = 0;
    virtual LossKind lossKind() const { return LinkBroken; }
    // Why the board does not count as linked, when the link knows more than
    // that it has not answered (a remote board its bridge reports offline);
    // empty otherwise.
    virtual QString notLinkedText() const { return QString(); }

    // While held, the link's events wait; releasing delivers them in order.
    // The window holds them while it validates its fields. Holds nest.
    virtual void holdEvents() = 0;
    virtual void releaseEvents() = 0;

    // A board on a port: the adapter's stable name, and after a loss the
    // adapter it took away and the number that leads to it again once it
    // is back (see CBoardLink). A link without adapters has none: empty,
    // and 0.
    virtual QString identity() const { return QString(); }
    virtual int lostAdapterNumber() const { return 0; }
    virtual QByteArray lostPort() const { return QByteArray(); }
    virtual QString lostIdentity() const { return QString(); }

signals:
    // The link is open; the request to report goes out next.
    void opened();
    // A received byte has been through the parser, before the reply it
    // completes (if any) is reported. Only a link that receives bytes says so.
    void byteReceived();
    // The board's first report since open or requestReport.
    void linked();
    // The board no longer counts as linked although the link is open: its
    // bridge reports it offline, or the bridge went away. A serial link
    // never says this; its board simply stops answering.
    void unlinked();
    // Every value the board reports, in order; each after linked().
    void valueReported(int code, int value);
    // A setting has left for the board, after merging and pacing.
    void frameSent(int code, int value);
    // The link ended by itself; it is closed (see lossKind).
    void lost(const QString &text, const QString &details);
    // The far end refused a setting this link sent, and says why (a
    // bridge's error topic). A serial board refuses nothing.
    void refused(const QString &reason);
};

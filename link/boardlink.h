#pragma once

// Dimra: host tool for a three-channel PWM LED dimmer board.
//
// The house, bottom up; arrows point down only:
//   protocol/  CDimraProtocol: command frames out, the reply parser in, the
//              byte-text conversions and the protocol's numbers (Qt Core);
//              CAbstractBoardLink, the one interface to a board
//   serial/    CMSComm over CSerialPort: the port, its properties, port
//              numbers and locks, output paced to the line, device loss
//   mqtt/      CMqttClient on the event loop, and what dimra-mqtt says and
//              understands on the broker: topics and payloads
//   link/      CBoardLink (this file): one board on one serial port
//   remote/    CRemoteBoardLink: one board that dimra-mqtt serves, over
//              the broker; the mqtt:// addresses that name one
//   linkfactory/  CBoardLinkFactory: the link a port's name calls for, the
//              one door every program reaches a board through
//   cli/       the command line every program shares
//   dialog/    CMyDimraDlg, the window, which has a link; app/ starts it
//   board/     dimra-board, a virtual board     ctl/     dimractl, for scripts
//   bridge/    dimra-mqtt, the boards on an MQTT broker, each on a CBoardLink
//
// The link opens a port by the name the user gives it, COMn or a device
// path, looking the name up once: the adapter it checks (its stable name)
// is the one its port opens, and after a loss it opens the same name only
// onto the same adapter unless told otherwise.
// It opens the port as the window always has, feeds every received byte to
// its codec and reports what the board says; it sends each setting paced
// to the line, merged under its command code with any older one still
// waiting; it says when the board has answered (linked), when a value was
// reported, when a setting's frame left for the line and when the device
// went away. It hands out no serial object.

#include "abstractboardlink.h"
#include "commport.h"
#include "dimraprotocol.h"
#include "mscomm.h"

#include <QObject>
#include <QString>
#include <optional>

class CBoardLink : public CAbstractBoardLink
{
    Q_OBJECT

public:
    // What open does when, after a loss, the port's name leads to another
    // adapter than the one lost (another adapter took its number).
    enum AdapterCheck {
        AskOnce,         // refuses once, saying so; the next open takes the new one
        SameAdapterOnly, // refuses until the lost adapter is back
    };

    explicit CBoardLink(QObject *parent = nullptr);
    ~CBoardLink() override;

    void setAdapterCheck(AdapterCheck check) { m_adapterCheck = check; }

    // Opens the port named: COMn as the window numbers them, or a device
    // path, the system's bytes, byte for byte. The window's sequence:
    // settings, open, parser reset, then the open-link frame. After a loss
    // the same name opens the adapter the loss took away, under whatever
    // node it has now, and another adapter in its place as AdapterCheck
    // says. Throws CSerialError.
    void open(const QByteArray &port) override;
    // Sends the open-link frame again, which the board answers with its
    // values; forgets the link flag and what was reported so far, so that
    // replies to an earlier request are never taken for the answer. Throws
    // CSerialError.
    void requestReport() override;
    // Sends one setting, paced, merged under its command code with an older
    // frame of the same code that still waits. Throws CSerialError.
    void send(int code, int value) override;
    // The one way the port is closed on purpose, whatever the way out
    // (disconnect, the window closing, a signal, dimractl's end): what waits
    // goes out (at most one frame per setting), the line carries it (waiting
    // at most its line time and marginMs more), and only then are the line's
    // settings restored, the port closed and its lock removed. A device
    // already lost waits for nothing. Says which of these it was; a device
    // found lost counts as a loss (lossText).
    CloseOutcome close(int marginMs = kCloseMarginMs) override;

    bool isOpen() const override { return m_comm.get_PortOpen(); }
    // The board has answered with a channel 1 reply since open or
    // requestReport, and the port is still open.
    bool isLinked() const override { return m_bLinked && m_comm.get_PortOpen(); }
    const BoardValues &reported() const override { return m_reported; }
    // The device the port is open on (or was last), and its stable name:
    // what stays the same for the same adapter under another node.
    QString devicePath() const override { return m_opened.target.device; }
    QString identity() const override { return m_opened.target.identity; }
    // Bytes given to send that wait for the line.
    qint64 bytesWaiting() const { return m_comm.get_OutBufferCount(); }
    // What the last loss was, in a sentence and in the system's own words.
    QString lossText() const override { return m_comm.get_ErrorText(); }
    QString lossDetails() const override { return m_comm.get_ErrorDetails(); }

    // After a loss: the port number that leads to the lost adapter now that
    // its device is there again; 0 while it is not, or when nothing was lost.
    int lostAdapterNumber() const override;
    // The name and stable name of the adapter a loss took away; empty when
    // there was none since the last open.
    QByteArray lostPort() const override { return m_lost ? m_lost->port : QByteArray(); }
    QString lostIdentity() const override { return m_lost ? m_lost->target.identity : QString(); }

    void holdEvents() override { m_comm.HoldEvents(); }
    void releaseEvents() override { m_comm.ReleaseEvents(); }

private:
    struct Adapter
    {
        QByteArray port;
        CommPortTarget target;
    };

    void checkAdapter(const QByteArray &port, const CommPortTarget &target);
    void noteLoss();
    void onComm();
    void onReply(int code, int value);
    void onFrameWritten(int mergeKey, int value);

    CDimraProtocol m_codec;
    CMSComm m_comm;
    bool m_bLinked = false;
    BoardValues m_reported;
    AdapterCheck m_adapterCheck = AskOnce;
    Adapter m_opened;               // the name the port was last opened by, and what it opened
    std::optional<Adapter> m_lost;  // the adapter a loss took away
};

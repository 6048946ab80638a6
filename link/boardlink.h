#pragma once

// Dimra: host tool for a three-channel PWM LED dimmer board.
//
// The house, bottom up; arrows point down only:
//   protocol/  CDimraProtocol: command frames out, the reply parser in, the
//              byte-text conversions and the protocol's numbers (Qt Core)
//   serial/    CMSComm: the serial port, its properties, output paced to the
//              line, device loss, events through the event loop
//   link/      CBoardLink (this file): one board on one port
//   dialog/    CMyDimraDlg, the window, which has a link; app/ starts it
//   board/     dimra-board, a virtual board      ctl/  dimractl, for scripts
//
// The link is what every program talks to a board through. It opens the
// port as the window always has, feeds every received byte to its codec and
// reports what the board says; it sends each setting paced to the line,
// merged under its command code with any older one still waiting; it says
// when the board has answered (linked), when a value was reported, when a
// setting's frame left for the line and when the device went away.

#include "dimraprotocol.h"
#include "mscomm.h"

#include <QObject>
#include <QString>
#include <optional>

// The number n of a port named COMn (any case), n from 1 to
// Dimra::kPortCount, as open() takes it; 0 for any other name, which is a
// device path; nothing for COMn out of range.
std::optional<int> portNumberOf(const QString &port);

class CBoardLink : public QObject
{
    Q_OBJECT

public:
    explicit CBoardLink(QObject *parent = nullptr);
    ~CBoardLink() override;

    // Opens port number n (1-12), or devicePath when n is 0, with the
    // window's sequence: settings, open, parser reset, then the open-link
    // frame. Throws CSerialError.
    void open(int portNumber, const QString &devicePath = QString());
    // The same with the path as the system takes it, byte for byte.
    void open(int portNumber, const QByteArray &devicePath);
    // Sends the open-link frame again, which the board answers with its
    // values; forgets the link flag and what was reported so far, so that
    // replies to an earlier request are never taken for the answer. Throws
    // CSerialError.
    void requestReport();
    // Sends one setting, paced, merged under its command code with an older
    // frame of the same code that still waits. Throws CSerialError.
    void send(int code, int value);
    // The one way the port is closed on purpose, whatever the way out
    // (disconnect, the window closing, a signal, dimractl's end): what waits
    // goes out (at most one frame per setting), the line carries it (waiting
    // at most its line time and marginMs more), and only then are the line's
    // settings restored, the port closed and its lock removed. A device
    // already lost waits for nothing. Says which of these it was.
    CMSComm::CloseOutcome close(int marginMs = CMSComm::kCloseMarginMs);

    // What the port's receive event does with the bytes it read: each goes
    // through the parser, and each completed reply is reported at once.
    void receive(const QByteArray &bytes);

    bool isOpen() const { return m_comm.get_PortOpen(); }
    // The board has answered with a channel 1 reply since open or
    // requestReport, and the port is still open.
    bool isLinked() const { return m_bLinked && m_comm.get_PortOpen(); }
    // What the board reported since it linked, by code; empty where nothing was.
    const BoardValues &reported() const { return m_reported; }
    QString devicePath() const { return m_comm.get_DevicePath(); }
    // The port, for property-level code the window keeps.
    CMSComm &comm() { return m_comm; }
    const CMSComm &comm() const { return m_comm; }

signals:
    // The port is open; the open-link frame goes out next.
    void opened();
    // A received byte has been through the parser, before the reply it
    // completes (if any) is reported.
    void byteReceived();
    // The board's first channel 1 reply since open or requestReport.
    void linked();
    // Every completed reply, in order; for a channel 1 reply after linked().
    void valueReported(int code, int value);
    // A setting's frame has left for the line, after merging and pacing.
    void frameSent(int code, int value);
    // The device went away while open; the port is closed.
    void lost(const QString &text, const QString &details);

private:
    void onComm();
    void onReply(int code, int value);
    void onFrameWritten(int mergeKey, int value);

    CDimraProtocol m_codec;
    CMSComm m_comm;
    bool m_bLinked = false;
    BoardValues m_reported;
};

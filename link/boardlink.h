#pragma once

#include "ctloptions.h"
#include "dimraprotocol.h"
#include "mscomm.h"

#include <QObject>

// The codec on a port of its own, for dimractl: the window's open sequence
// and line, the window's frames and reply parser, no window.
//
// The link counts from the board's channel 1 reply, as in the window. What
// the board reports after that reply is kept in reported(); a report asked
// for again (RequestReport) starts afresh, so that replies still on their
// way from an earlier request, or left on the line by an earlier process,
// are never taken for the answer.
class CBoardLink : public QObject, public CDimraProtocol
{
    Q_OBJECT

public:
    explicit CBoardLink(QObject *parent = nullptr);
    ~CBoardLink() override;

    // Opens port number n (1-12), or devicePath when n is 0, as the window
    // opens its port. Throws CSerialError.
    void Open(int n, const QString &devicePath);
    bool isOpen() const { return m_comm.get_PortOpen(); }
    QString devicePath() const { return m_comm.get_DevicePath(); }

    // Sends the open-link frame, which the board answers with its values,
    // and forgets what was reported so far. Throws CSerialError.
    void RequestReport();
    // Sends one setting. Throws CSerialError.
    void Send(int code, int value) { SendCommand(code, value); }
    bool linked() const { return m_bLinked; }
    const BoardValues &reported() const { return m_reported; }

    // Waits until every frame has left the computer, then closes the port;
    // false when that took longer than msecs (the port is closed anyway).
    bool DrainAndClose(int msecs);

signals:
    // Every reply the parser completes, linked or not.
    void replied(int code, int value);
    // The device went away while open; the text says what happened.
    void lost(const QString &text);

protected:
    void SetSliderPos(int code, int position) override;
    void WriteFrame(const QByteArray &bytes) override;

private:
    void onComm();

    CMSComm m_comm;
    BoardValues m_reported;
};

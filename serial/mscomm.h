#pragma once

#include "commport.h"
#include "outputpacer.h"
#include "portlock.h"
#include "serialerror.h"
#include "serialport.h"
#include "serialsettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// The serial communications control. Every operation reads or writes one
// property, as the dialog's open sequence expects: set CommPort, InputMode,
// Settings, InputLen, RThreshold and RTSEnable, then PortOpen. A property
// access that fails throws CSerialError with a text for the user. CommPort
// is a port already resolved: PortOpen opens exactly its device and looks
// nothing up.
//
// Received bytes are announced by the OnComm notification, delivered through
// the event loop and never from inside the port's own signal, with CommEvent
// saying why. A device that vanishes while open (USB adapter unplugged, far
// end of a pseudo-terminal closed) closes the port and is announced once, as
// comEvDeviceLost; get_ErrorText() then says what happened. A line that is
// merely slow (a full output buffer, a far end that reads late) is not a
// loss: output never goes faster than the line carries it, and what the
// line cannot take yet waits in the pacer, newest value first (see
// put_Output). The device itself is a CSerialPort (serialport.h).
//
// The port is opened only after its device's lock is taken (portlock.h), and
// closed one way only (ClosePort): what waits goes out, the line carries it,
// and only then are the line's old settings restored, the port closed and
// the lock removed.
class CMSComm : public QObject
{
    Q_OBJECT

public:
    enum InputMode : long { comInputModeText = 0, comInputModeBinary = 1 };
    enum CommEvent : short { comEvReceive = 2, comEvDeviceLost = 1100 };
    enum CloseOutcome { Drained, TimedOut, DeviceLost };

    // How much longer than its line time a close may wait for what waits.
    static constexpr int kCloseMarginMs = 500;

    explicit CMSComm(QObject *parent = nullptr);
    ~CMSComm() override;

    // The port to open: its device (the system's bytes, text or not), the
    // device's stable name, and its number, 0 for a device named by its path.
    void put_CommPort(const CommPortTarget &port);
    const CommPortTarget &get_CommPort() const { return m_commPort; }
    // Checked, and otherwise of no effect: get_Input always hands over raw bytes.
    void put_InputMode(long mode);
    void put_Settings(const QString &settings);
    void put_InputLen(short length);
    void put_RThreshold(short threshold);
    void put_RTSEnable(bool enable);
    // false closes as ClosePort(kCloseMarginMs) does.
    void put_PortOpen(bool open);
    bool get_PortOpen() const;
    // Sends what still waits, waits until the line has carried it (at most
    // its line time and marginMs more), then restores the line's settings,
    // closes the port and removes its lock. A device found lost, before or
    // during the wait, waits for nothing; a line that did not carry it all
    // in time is closed all the same.
    CloseOutcome ClosePort(int marginMs);

    // Sends all bytes, in one write when the line is free. At most about one
    // frame waits in the system beyond the one on the wire; the rest waits
    // in the pacer, where bytes pushed under a merge key replace unsent bytes
    // of the same key in their place, so that the latest value wins. The
    // tag comes back with FrameWritten.
    void put_Output(const QByteArray &bytes, int mergeKey = COutputQueue::NoMerge, int tag = 0);
    // Bytes received and not yet taken by get_Input, and bytes still
    // waiting here for the line.
    qint64 get_InBufferCount() const;
    qint64 get_OutBufferCount() const;
    // Blocks until every byte handed to put_Output has left the computer, or
    // msecs have passed. False on a timeout or when the port is not open.
    bool WaitForOutputDrained(int msecs);
    // Returns and removes up to InputLen waiting bytes (all of them for 0).
    QByteArray get_Input();
    // The reason for the notification being handled.
    short get_CommEvent() const { return m_nCommEvent; }

    // The text of the last loss.
    QString get_ErrorText() const { return m_strLossText; }
    // The system's own words for the last loss, for a bug report.
    QString get_ErrorDetails() const { return m_strLossDetails; }

    // While held, notifications wait; releasing delivers them in order. The
    // dialog holds them while it validates its fields, so that a receive
    // event never lands inside a running exchange. Holds nest.
    void HoldEvents();
    void ReleaseEvents();

signals:
    void OnComm();
    // Bytes given to put_Output have all been handed to the system, paced
    // to the line; bytes merged away never are.
    void FrameWritten(int mergeKey, int tag);

private:
    void OnReadFailed(int error);
    void OnWriteFailed(int error);
    void LoseDevice(const QString &reason);
    bool ReceiveWaiting() const; // RThreshold bytes or more wait
    void PostReceiveIfWaiting();
    void Post(CommEvent event);
    void Deliver(CommEvent event);
    QString PortLabel() const;
    QString DeviceLabel() const; // the device, and its COMn if opened by number

    CSerialPort m_port;
    CPortLock m_lock; // held while the port is open
    CommPortTarget m_commPort;
    SerialSettings m_settings;
    short m_nInputLen = 0;
    short m_nRThreshold = 0;
    bool m_bRTSEnable = false;
    short m_nCommEvent = 0;
    QString m_strLossText;
    QString m_strLossDetails;

    COutputPacer m_pacer{m_port};

    bool m_bReceivePosted = false;
    int m_nHold = 0;
    bool m_bReceiveHeld = false;
    bool m_bLossHeld = false;
    bool m_bLossPending = false; // loss announced but not yet delivered
    int m_nOutputDepth = 0;      // inside put_Output
    bool m_bLossInOutput = false;
};

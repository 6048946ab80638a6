#pragma once

#include "serialerror.h"
#include "serialsettings.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

// The serial communications control. Every operation reads or writes one
// property, as the dialog's open sequence expects: set CommPort, InputMode,
// Settings, InputLen, RThreshold and RTSEnable, then PortOpen. A property
// access that fails throws CSerialError with a text for the user.
//
// Received bytes are announced by the OnComm notification, delivered through
// the event loop and never from inside the port's own signal, with CommEvent
// saying why. A device that vanishes while open (USB adapter unplugged, far
// end of a pseudo-terminal closed) closes the port and is announced once, as
// comEvDeviceLost; get_ErrorText() then says what happened.
class CMSComm : public QObject
{
    Q_OBJECT

public:
    enum InputMode : long { comInputModeText = 0, comInputModeBinary = 1 };
    enum CommEvent : short { comEvReceive = 2, comEvDeviceLost = 1100 };

    explicit CMSComm(QObject *parent = nullptr);
    ~CMSComm() override;

    void put_CommPort(short port);
    short get_CommPort() const { return m_nCommPort; }
    void put_InputMode(long mode);
    void put_Settings(const QString &settings);
    void put_InputLen(short length);
    void put_RThreshold(short threshold);
    void put_RTSEnable(bool enable);
    void put_PortOpen(bool open);
    bool get_PortOpen() const;

    // Writes all bytes in one write.
    void put_Output(const QByteArray &bytes);
    // Bytes handed to put_Output that have yet to reach the driver; none
    // once the port is closed, since nothing more will be written.
    qint64 get_OutBufferCount() const { return m_port.isOpen() ? m_port.bytesToWrite() : 0; }
    // Blocks until every byte handed to put_Output has left the computer, or
    // msecs have passed. False on a timeout or when the port is not open.
    bool WaitForOutputDrained(int msecs);
    // Returns and removes up to InputLen waiting bytes (all of them for 0).
    QByteArray get_Input();
    // The reason for the notification being handled.
    short get_CommEvent() const { return m_nCommEvent; }

    // The device the port was last opened on, and the text of the last loss.
    QString get_DevicePath() const { return m_strDevice; }
    QString get_ErrorText() const { return m_strLossText; }

    // While held, notifications wait; releasing delivers them in order. The
    // dialog holds them while it validates its fields, so that a receive
    // event never lands inside a running exchange. Holds nest.
    void HoldEvents();
    void ReleaseEvents();

signals:
    void OnComm();

private:
    void onPortError(QSerialPort::SerialPortError error);
    bool receiveWaiting() const; // RThreshold bytes or more wait
    void postReceiveIfWaiting();
    void post(CommEvent event);
    void deliver(CommEvent event);
    QString portLabel() const;
    CSerialError openError(const QString &device) const;

    QSerialPort m_port;
    short m_nCommPort = 1;
    long m_nInputMode = comInputModeText;
    SerialSettings m_settings;
    short m_nInputLen = 0;
    short m_nRThreshold = 0;
    bool m_bRTSEnable = false;
    short m_nCommEvent = 0;
    QString m_strDevice;
    QString m_strLossText;

    bool m_bReceivePosted = false;
    int m_nHold = 0;
    bool m_bReceiveHeld = false;
    bool m_bLossHeld = false;
    bool m_bLossPending = false; // loss announced but not yet delivered
    int m_nOutputDepth = 0;      // inside put_Output
    bool m_bLossInOutput = false;
};

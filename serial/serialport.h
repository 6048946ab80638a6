#pragma once

#include "serialsettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>

// The serial device itself, opened raw at the line's settings for this
// program alone: received bytes come in through the event loop and wait in
// a bounded buffer; bytes go out without a buffer of their own, so that a
// full line refuses instead of piling them up (the pacer above decides what
// waits). Closing puts back the settings the line had before the open.
//
// Nothing here makes a lock file: the device's guard is the port lock
// (portlock.h), taken before the open. This is the portable front; what the
// system is asked lives in serialport_unix.cpp (termios and a socket
// notifier) and serialport_win.cpp.
class CSerialPort : public QObject
{
    Q_OBJECT

public:
    explicit CSerialPort(QObject *parent = nullptr);
    ~CSerialPort() override;

    // Opens the device at path (the system's bytes) at settings, without
    // flow control. False when the system refuses, with systemError() and
    // errorString() saying why; a device that is no terminal is refused too.
    bool open(const QByteArray &path, const SerialSettings &settings);
    bool isOpen() const;
    // Puts back the line's settings from before the open and closes. What
    // has not left yet is the caller's to wait for (drain).
    void close();
    // Changes the settings of the open line; false when the line refuses them.
    bool applySettings(const SerialSettings &settings);
    // Raises or drops RTS. A line without it (a pseudo-terminal) refuses,
    // which is harmless.
    void setRequestToSend(bool on);
    // Forgets what was received and not read, here and in the driver.
    void clearInput();

    // Received bytes that wait to be read.
    qint64 bytesAvailable() const;
    // Takes up to maxSize waiting bytes; all of them for 0.
    QByteArray read(qint64 maxSize);
    // How many received bytes wait here at most while nobody reads them;
    // beyond that the system's buffers hold the line back.
    void setReadBufferSize(qint64 size);

    // Hands bytes to the system, as many as it takes now without waiting:
    // the count, or -1 with *error set (a full line's refusal included).
    qint64 write(const QByteArray &bytes, int *error);
    // Bytes the driver holds that have not gone out; 0 where it does not tell.
    qint64 queuedOutput() const;
    // Returns when the driver's last byte has left.
    void drain();
    // Why the device is gone, or empty while it is still there. error is
    // that of a failed write or read, 0 when there is none. path is the
    // device as its port names it, not the lock's handle it was opened by:
    // a node gone from there, or leading to another device, is a loss;
    // device names it for the user.
    QString lossReason(const QByteArray &path, const QString &device, int error) const;

    // The system's error of the last refused open, and its words.
    int systemError() const { return m_error; }
    QString errorString() const { return qt_error_string(m_error); }

signals:
    // New bytes wait to be read.
    void readyRead();
    // Reading failed (error is the system's, or 0 for a line that hung up);
    // lossReason tells whether the device is gone.
    void readFailed(int error);

private:
    struct Platform;
    std::unique_ptr<Platform> d;
    int m_error = 0;
};

#pragma once

#include <QByteArray>
#include <QString>

class QSerialPort;

// What CMSComm asks of the system beyond QSerialPort. Each platform has its
// own file: mscomm_unix.cpp, mscomm_win.cpp.
namespace SerialSystem {

// Writes straight to the open port, without QSerialPort's own buffer, so
// that a full line refuses instead of piling bytes up: the count written,
// or -1 with *error set (EAGAIN-like refusals included).
qint64 write(QSerialPort &port, const QByteArray &bytes, int *error);
// Bytes the driver holds that have not gone out yet; 0 where the system
// does not tell.
qint64 queuedOutput(const QSerialPort &port);
// Returns when the driver's last byte has left (on a real UART, its last bit).
void drain(QSerialPort &port);
// The device node open on the port, to notice it vanish or change; 0 where
// unknown.
quint64 deviceId(const QSerialPort &port);
// Why the device on the port is gone, or empty while it is still there.
// error is that of a failed write, 0 when asked after a port error.
QString lossReason(const QSerialPort &port, const QByteArray &nativePath, quint64 deviceId,
                   const QString &device, int error);

} // namespace SerialSystem

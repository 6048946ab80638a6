#include "mscomm_p.h"

#include <QSerialPort>

// Without a descriptor to write to, QSerialPort's own buffer takes the
// bytes and the driver's queue stays unknown; loss shows as a port error.
namespace SerialSystem {

qint64 write(QSerialPort &port, const QByteArray &bytes, int *error)
{
    *error = 0;
    return port.write(bytes);
}

qint64 queuedOutput(const QSerialPort &)
{
    return 0;
}

void drain(QSerialPort &)
{
}

quint64 deviceId(const QSerialPort &)
{
    return 0;
}

QString lossReason(const QSerialPort &port, const QByteArray &, quint64, const QString &, int error)
{
    return error != 0 ? qt_error_string(error) : port.errorString();
}

} // namespace SerialSystem

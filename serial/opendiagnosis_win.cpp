#include "opendiagnosis.h"

#include "portlock.h"

#include <windows.h>

CSerialError::Kind OpenErrorKind(quint32 error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BAD_DEV_TYPE: // Wine's answer for a number nothing is linked to
    case ERROR_INVALID_NAME:
    case ERROR_DEVICE_NOT_CONNECTED:
        return CSerialError::NoSuchDevice;
    // A port that another program has open is refused as access denied:
    // Windows gives a port to one program at a time, whoever asks.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return CSerialError::InUse;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
        return CSerialError::NotSerial;
    default:
        return CSerialError::Failed;
    }
}

bool DeviceGoneError(quint32 error)
{
    switch (error) {
    case ERROR_BROKEN_PIPE: // the far end of a line under Wine hung up
    case ERROR_GEN_FAILURE:
    case ERROR_BAD_COMMAND:
    case ERROR_ACCESS_DENIED: // usbser.sys, once its adapter is out
    case ERROR_INVALID_HANDLE:
    case ERROR_OPERATION_ABORTED: // the removal cancelled what was pending
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_FILE_NOT_FOUND:
        return true;
    default:
        return false;
    }
}

// Windows lets nobody look at a port another program holds, and a COM
// number is no file to look at: the open's error says what is known.
CSerialError DiagnoseOpenFailure(const QString &where, const QByteArray &, int systemError,
                                 const QString &systemText, const QString &)
{
    switch (OpenErrorKind(quint32(systemError))) {
    case CSerialError::NoSuchDevice:
        return CSerialError(OpenDiagnosis::tr("找不到串口 %1。请检查串口适配器是否已插好，"
                                              "并在设备管理器的“端口 (COM 和 LPT)”下查看它的 COM 编号。")
                                .arg(where),
                            CSerialError::NoSuchDevice, systemText);
    case CSerialError::InUse:
        return PortInUseError(where, systemText);
    case CSerialError::NotSerial:
        return CSerialError(OpenDiagnosis::tr("%1 不是串口设备。请选择串口适配器的 COM 编号。").arg(where),
                            CSerialError::NotSerial, systemText);
    default:
        return UndiagnosedOpenFailure(where, systemText);
    }
}

// A COM number names a serial port or nothing; there is no console or
// pseudo-terminal multiplexer to refuse beforehand.
void CheckSerialDevice(const QString &, const QByteArray &, const QString &)
{
}

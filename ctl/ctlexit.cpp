#include "ctlexit.h"

CtlExit ExitCodeFor(CSerialError::Kind kind)
{
    switch (kind) {
    case CSerialError::NoSuchDevice:
    case CSerialError::NotSerial:
        return ExitNoPort;
    case CSerialError::NoPermission:
        return ExitNoPermission;
    case CSerialError::InUse:
        return ExitInUse;
    case CSerialError::DeviceLost:
    case CSerialError::OtherAdapter:
    case CSerialError::Failed:
        break;
    }
    return ExitIo;
}

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

const char *ExitKindName(int exitCode)
{
    switch (exitCode) {
    case ExitUsage:
        return "bad_usage";
    case ExitNoPort:
        return "no_such_port";
    case ExitNoPermission:
        return "no_permission";
    case ExitInUse:
        return "port_in_use";
    case ExitNoAnswer:
        return "no_answer";
    case ExitMismatch:
        return "verify_failed";
    default:
        return "link_lost";
    }
}

#include "ctlexit.h"

#include <QCoreApplication>

namespace {

// Written in English and told in the run's language.
struct CtlExitCodes
{
    Q_DECLARE_TR_FUNCTIONS(CtlExitCodes)
};

} // namespace

QString CtlExitMeaning(int exitCode)
{
    switch (exitCode) {
    case ExitOk:
        return CtlExitCodes::tr("done; every frame has left the computer");
    case ExitIo:
        return CtlExitCodes::tr("I/O error, or the device or the broker was lost");
    case ExitUsage:
        return CtlExitCodes::tr("bad usage, a value out of range, or a setting the bridge refused");
    case ExitNoPort:
        return CtlExitCodes::tr("no such port, or a broker that cannot be reached");
    case ExitNoPermission:
        return CtlExitCodes::tr("no permission to open the port, or the broker refused the user");
    case ExitInUse:
        return CtlExitCodes::tr("the port is in use by another program (the Dimra window, for example)");
    case ExitNoAnswer:
        return CtlExitCodes::tr("the board did not answer within the timeout, or no running bridge serves it");
    case ExitMismatch:
        return CtlExitCodes::tr("--verify found a different value");
    default:
        return QString();
    }
}

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

CtlExit ExitCodeFor(CAbstractBoardLink::LossKind kind)
{
    switch (kind) {
    case CAbstractBoardLink::NotReached:
        return ExitNoPort;
    case CAbstractBoardLink::NotAllowed:
        return ExitNoPermission;
    case CAbstractBoardLink::LinkBroken:
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

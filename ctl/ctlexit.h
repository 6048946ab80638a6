#pragma once

#include "abstractboardlink.h"
#include "commandline.h"
#include "serialerror.h"

#include <QString>

// dimractl's exit codes, as --help and the manual page list them.
enum CtlExit {
    ExitOk = 0,           // done; every frame has left the computer
    ExitIo = 1,           // I/O error, device or broker lost
    ExitUsage = 2,        // bad usage, a value out of range, or one the bridge refused
    ExitNoPort = 3,       // no such port, or a broker that cannot be reached
    ExitNoPermission = 4, // the user may not open the port, or the broker refuses the user
    ExitInUse = 5,        // another program holds the port
    ExitNoAnswer = 6,     // the board did not answer within the timeout, or no running bridge serves it
    ExitMismatch = 7,     // --verify found a different value
};

static_assert(ExitUsage == Cli::kExitUsage, "bad usage exits as in every program");

// What an exit code means, for --help.
QString CtlExitMeaning(int exitCode);

// The exit code for a serial error. A path that is no serial device counts
// as no such port: either way the user named the wrong thing.
CtlExit ExitCodeFor(CSerialError::Kind kind);
// The exit code for a link that ended by itself: a broker that was never
// reached is no such port, one that refuses the user no permission.
CtlExit ExitCodeFor(CAbstractBoardLink::LossKind kind);

// The name of an exit code's kind in a session's error answers ("no_answer"
// for 6), as a script tells the causes apart; "link_lost" for 1 and for any
// code without a name of its own.
const char *ExitKindName(int exitCode);

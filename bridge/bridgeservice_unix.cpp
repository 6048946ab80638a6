#include "bridgeservice.h"

// A service manager (systemd) runs the program as a terminal does, and
// keeps what it writes to standard error.
int RunBridgeProgram(int argc, char *argv[], int (*program)(int, char **, const BridgeHost &))
{
    return program(argc, argv, BridgeHost());
}

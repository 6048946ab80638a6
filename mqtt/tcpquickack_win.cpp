#include "tcpquickack.h"

#include <winsock2.h>

// Windows acknowledges on its own schedule; nothing to ask.
void acknowledgeAtOnce(int)
{
}

int bytesWaiting(int socket)
{
    u_long count = 0;
    return ioctlsocket(SOCKET(socket), FIONREAD, &count) == 0 ? int(count) : -1;
}

#include "tcpquickack.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

void acknowledgeAtOnce(int socket)
{
#ifdef TCP_QUICKACK
    const int on = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
#else
    (void)socket;
#endif
}

int bytesWaiting(int socket)
{
    int count = 0;
    return ::ioctl(socket, FIONREAD, &count) == 0 ? count : -1;
}

#include "rawpty.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

std::optional<RawPty> OpenRawPty()
{
    RawPty pty;
    char name[256] = {};
    if (::openpty(&pty.master, &pty.slave, name, nullptr, nullptr) != 0)
        return std::nullopt;
    termios tio;
    ::tcgetattr(pty.slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(pty.slave, TCSANOW, &tio);
    ::fcntl(pty.master, F_SETFL, ::fcntl(pty.master, F_GETFL) | O_NONBLOCK);
    ::fcntl(pty.master, F_SETFD, FD_CLOEXEC);
    ::fcntl(pty.slave, F_SETFD, FD_CLOEXEC);
    pty.slavePath = QString::fromLocal8Bit(name);
    return pty;
}

#include "commandline.h"

#include <fcntl.h>
#include <unistd.h>

ClosedStandardStreams ReserveStandardStreams()
{
    bool closed[3] = {};
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        closed[fd] = ::fcntl(fd, F_GETFD) == -1;
        if (closed[fd])
            ::open("/dev/null", O_RDWR); // the lowest free number: fd
    }
    return {closed[STDIN_FILENO], closed[STDOUT_FILENO], closed[STDERR_FILENO]};
}

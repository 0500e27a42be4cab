#include "standard_streams.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

StandardStreams guardStandardStreams()
{
    StandardStreams streams;
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
            continue;
        if (fd == STDOUT_FILENO)
            streams.outputClosed = true;
        // The lowest free descriptor is taken: this one, as the ones below
        // it are open by now.
        if (open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY) != fd)
            streams.ready = false;
    }
    return streams;
}

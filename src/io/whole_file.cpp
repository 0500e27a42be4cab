#include "whole_file.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Room for a file whose size is not known, a pipe's, to start with.
constexpr std::size_t firstReadSize = 4096;

}  // namespace

bool readWholeFile(int fd, std::string& bytes)
{
    // A file's size, where it tells one, is all the room it takes: a class
    // of thousands of small references must not cost a buffer each.
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        bytes.reserve(bytes.size() + static_cast<std::size_t>(info.st_size) + 1);
    std::size_t size = bytes.size();
    for (;;) {
        std::size_t room = bytes.capacity() > size ? bytes.capacity() - size : std::max(size, firstReadSize);
        bytes.resize(size + room);
        ssize_t got = read(fd, bytes.data() + size, room);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            bytes.resize(size);
            return got == 0;
        }
        size += static_cast<std::size_t>(got);
    }
}

#include "whole_file.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t readSize = 64 * 1024;

}  // namespace

bool readWholeFile(int fd, std::string& bytes)
{
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        bytes.reserve(bytes.size() + static_cast<std::size_t>(info.st_size) + 1);
    std::size_t size = bytes.size();
    for (;;) {
        bytes.resize(size + readSize);
        ssize_t got = read(fd, bytes.data() + size, readSize);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            bytes.resize(size);
            return got == 0;
        }
        size += static_cast<std::size_t>(got);
    }
}

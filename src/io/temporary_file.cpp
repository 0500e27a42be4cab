#include "io/temporary_file.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

// In TMPDIR, where temporary files belong, gone with the run however it
// ends.
Descriptor unnamedTemporaryFile()
{
    const char* folder = std::getenv("TMPDIR");
    std::string where = folder != nullptr && folder[0] != '\0' ? folder : "/tmp";
    int fd = open(where.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0)
        return Descriptor(fd);
    // A file system without unnamed files: a name, taken away at once.
    std::string name = where + "/labelgrade-XXXXXX";
    fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0)
        unlink(name.c_str());
    return Descriptor(fd);
}

bool writeAt(int fd, std::string_view bytes, std::uint64_t at)
{
    while (!bytes.empty()) {
        ssize_t wrote = pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(wrote));
        at += static_cast<std::uint64_t>(wrote);
    }
    return true;
}

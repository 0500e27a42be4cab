#include "io/temporary_file.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>

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

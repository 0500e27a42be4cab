// Files in memory for the unit tests: an archive made or read back without
// touching the disk, so that tests running side by side share no path.
#ifndef LABELGRADE_MEMORY_FILES_FOR_TESTS_H
#define LABELGRADE_MEMORY_FILES_FOR_TESTS_H

#include "io/descriptor.h"
#include "io/zip_writer.h"

#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>
#include <vector>

// A file in memory holding `bytes`.
inline Descriptor memoryFile(std::string_view bytes)
{
    Descriptor file(memfd_create("test", 0));
    if (file.fd < 0 || write(file.fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        std::abort();
    return file;
}

// Every byte of an open file, wherever its offset stands.
inline std::string fileBytes(int fd)
{
    std::string bytes(static_cast<std::size_t>(lseek(fd, 0, SEEK_END)), '\0');
    if (pread(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
        std::abort();
    return bytes;
}

// A zip of the files given as (path, bytes), in that order.
using Files = std::vector<std::pair<std::string, std::string>>;

inline std::string zipOf(const Files& files)
{
    Descriptor file(memfd_create("zip", 0));
    ZipWriter zip;
    bool written = openZipWriter(file.fd, zip);
    for (const auto& [path, bytes] : files)
        written = written && addZipFile(zip, path, bytes);
    if (!written || !closeZipWriter(zip))
        std::abort();
    return fileBytes(file.fd);
}

#endif

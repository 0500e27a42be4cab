#include "class/intake/top_file.h"

#include "io/archive.h"
#include "io/descriptor.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A site's list of a class's submissions runs to some hundred bytes a
// student: past this it is no such list.
constexpr std::uint64_t largestTopFile = 16 << 20;

bool readFromFolder(int folder, std::string_view name, std::string& bytes)
{
    // Not blocking, and never through a link: the name is the site's, but
    // a folder unzipped by hand may hold anything under it.
    Descriptor file(openat(folder, std::string(name).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info;
    if (file.fd < 0 || fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::uint64_t>(info.st_size) > largestTopFile)
        return false;
    bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
        ssize_t n = read(file.fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return got == static_cast<std::size_t>(info.st_size);
}

bool readFromArchive(int fd, std::string_view within, std::string_view name, std::string& bytes)
{
    std::string path = within.empty() ? std::string(name) : std::string(within) + "/" + std::string(name);
    ArchiveReader reader;
    if (openArchive(fd, ArchiveKind::classDownload, reader) != ArchiveStatus::ok)
        return false;
    for (;;) {
        ArchiveStatus status = nextEntry(reader);
        if (status == ArchiveStatus::damaged)
            continue;
        if (status != ArchiveStatus::ok)
            return false;
        if (reader.entry.path == path && reader.entry.kind == EntryKind::regular) {
            bytes.clear();
            return readEntry(reader, largestTopFile, bytes) == ArchiveStatus::ok;
        }
    }
}

}  // namespace

bool readTopFile(int fd, bool archive, std::string_view within, std::string_view name, std::string& bytes)
{
    return archive ? readFromArchive(fd, within, name, bytes) : readFromFolder(fd, name, bytes);
}

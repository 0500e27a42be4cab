#include "folder.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <dirent.h>

namespace {

// A folder of a few entries is read in one call, and the call that finds
// no more.
constexpr std::size_t listingBufferSize = 32 * 1024;

}  // namespace

bool readFolder(int folderFd, std::vector<FolderEntry>& entries)
{
    // Read straight from the descriptor: a folder is listed in two system
    // calls, which a class makes once for each of thousands of students.
    alignas(dirent64) char buffer[listingBufferSize];
    for (;;) {
        ssize_t got = getdents64(folderFd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        for (ssize_t at = 0; at < got;) {
            dirent64 entry;
            std::memcpy(&entry, buffer + at, offsetof(dirent64, d_name));
            const char* name = buffer + at + offsetof(dirent64, d_name);
            if (name[0] != '.')
                entries.push_back(FolderEntry{name, entry.d_type, entry.d_ino});
            at += entry.d_reclen;
        }
    }
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return true;
}

const FolderEntry* findEntry(const std::vector<FolderEntry>& entries, std::string_view name)
{
    auto found = std::lower_bound(entries.begin(), entries.end(), name,
                                  [](const FolderEntry& entry, std::string_view key) { return entry.name < key; });
    return found != entries.end() && found->name == name ? &*found : nullptr;
}

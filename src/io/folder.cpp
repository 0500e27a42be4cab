#include "folder.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

struct CloseFolder {
    void operator()(DIR* folder) const { closedir(folder); }
};

}  // namespace

bool readFolder(int folderFd, std::vector<FolderEntry>& entries)
{
    // The folder's own descriptor stays its owner's; the stream gets a copy.
    int copy = fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        return false;
    std::unique_ptr<DIR, CloseFolder> folder(fdopendir(copy));
    if (!folder) {
        int saved = errno;
        close(copy);
        errno = saved;
        return false;
    }
    rewinddir(folder.get());
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(folder.get());
        if (entry == nullptr)
            break;
        if (entry->d_name[0] != '.')
            entries.push_back(FolderEntry{entry->d_name, entry->d_type});
    }
    if (errno != 0)
        return false;
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return true;
}

// Reading a folder's entries.
#ifndef LABELGRADE_FOLDER_H
#define LABELGRADE_FOLDER_H

#include <string>
#include <sys/types.h>
#include <string_view>
#include <vector>

struct FolderEntry {
    std::string name;
    unsigned char type = 0;  // as the folder tells it (DT_REG, DT_LNK...); DT_UNKNOWN where it does not
    ino_t inode = 0;
};

// The entries of the folder open as `folderFd`, read from where its
// descriptor stands, whose names do not start with a dot, in byte order of
// their names.  False, with errno set, when the folder cannot be read.
bool readFolder(int folderFd, std::vector<FolderEntry>& entries);

// The entry named `name`, among entries in byte order; none when absent.
const FolderEntry* findEntry(const std::vector<FolderEntry>& entries, std::string_view name);

// A name in a folder, as a path: the folder's path as given, one slash
// (none added where the path already ends with one), the name.
inline std::string pathInFolder(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    if (path.empty() || path.back() != '/')
        path += '/';
    path += name;
    return path;
}

#endif

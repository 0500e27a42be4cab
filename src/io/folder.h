// Reading a folder's entries.
#ifndef LABELGRADE_FOLDER_H
#define LABELGRADE_FOLDER_H

#include <string>
#include <string_view>
#include <vector>

struct FolderEntry {
    std::string name;
    unsigned char type = 0;  // as readdir tells it; DT_UNKNOWN where the file system does not
};

// The entries of the open folder `folderFd` whose names do not start with a
// dot, in byte order of their names.  False, with errno set, when the folder
// cannot be read.
bool readFolder(int folderFd, std::vector<FolderEntry>& entries);

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

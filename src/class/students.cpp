#include "students.h"

#include "io/descriptor.h"
#include "io/folder.h"

#include <algorithm>
#include <tuple>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// An instructor may gather students' folders as links to them; where the
// entry leads is given in `id`.  A folder itself needs no look: the listing
// tells what it is, and a class of thousands is listed at once.
bool isFolder(int parent, dev_t device, const FolderEntry& entry, FileId& id)
{
    if (entry.type == DT_DIR) {
        id = FileId{device, entry.inode};
        return true;
    }
    if (entry.type != DT_LNK && entry.type != DT_UNKNOWN)
        return false;
    struct stat info;
    if (fstatat(parent, entry.name.c_str(), &info, 0) != 0 || !S_ISDIR(info.st_mode))
        return false;
    id = FileId{info.st_dev, info.st_ino};
    return true;
}

}  // namespace

bool listStudents(const std::string& submissions, std::vector<Student>& students, Listing& listing,
                  std::string& error)
{
    Descriptor folder(open(submissions.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::vector<FolderEntry> entries;
    struct stat info;
    if (folder.fd < 0 || fstat(folder.fd, &info) != 0 || !readFolder(folder.fd, entries)) {
        error = "could not read the folder " + submissions + ": " + std::strerror(errno);
        return false;
    }
    std::vector<std::pair<FileId, std::string>> seen;
    for (FolderEntry& entry : entries) {
        FileId id;
        if (!isFolder(folder.fd, info.st_dev, entry, id)) {
            listing.ignored.push_back(std::move(entry.name));
            continue;
        }
        seen.emplace_back(id, entry.name);
        Student student;
        student.name = std::move(entry.name);
        student.hasFolder = true;
        students.push_back(std::move(student));
    }
    std::stable_sort(seen.begin(), seen.end(), [](const auto& a, const auto& b) {
        return std::tie(a.first.device, a.first.inode) < std::tie(b.first.device, b.first.inode);
    });
    for (std::size_t i = 1; i < seen.size(); ++i)
        if (seen[i].first == seen[i - 1].first)
            listing.sameFolder.emplace_back(seen[i].second, seen[i - 1].second);
    std::sort(listing.sameFolder.begin(), listing.sameFolder.end());
    return true;
}

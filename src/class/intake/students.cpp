#include "class/intake/students.h"

#include "io/descriptor.h"
#include "io/folder.h"
#include "class/intake/layout.h"
#include "class/intake/student_files.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <tuple>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// Where the entry leads, in `id`.  A folder itself needs no look: the
// listing tells what it is, and a class of thousands is listed at once.  A
// link is judged by where it leads.
FolderLink judgeEntry(int parent, dev_t device, bool followLinks, const FolderEntry& entry, FileId& id)
{
    if (entry.type == DT_DIR) {
        id = FileId{device, entry.inode};
        return FolderLink::inside;
    }
    if (entry.type != DT_LNK && entry.type != DT_UNKNOWN)
        return FolderLink::notFolder;
    if (!followLinks) {
        FolderLink judged = judgeFolderLink(parent, entry.name.c_str(), id);
        // A link out that leads to no folder is a file, which is judged,
        // and refused, as a file.
        struct stat info;
        if (judged == FolderLink::outside && (fstatat(parent, entry.name.c_str(), &info, 0) != 0 || !S_ISDIR(info.st_mode)))
            return FolderLink::notFolder;
        return judged;
    }
    struct stat info;
    if (fstatat(parent, entry.name.c_str(), &info, 0) != 0 || !S_ISDIR(info.st_mode))
        return FolderLink::notFolder;
    id = FileId{info.st_dev, info.st_ino};
    return FolderLink::inside;
}

// Where a link that was followed led, for the instructor to see.
std::string whereLinkLeads(const std::string& submissions, const std::string& name)
{
    std::unique_ptr<char, decltype(&std::free)> real(realpath(pathInFolder(submissions, name).c_str(), nullptr),
                                                     &std::free);
    return real ? std::string(real.get()) : std::string("?");
}

}  // namespace

bool listStudents(const std::string& submissions, const LayoutChoice& choice, bool followLinks,
                  std::vector<Student>& students, Listing& listing, std::string& error)
{
    Descriptor folder(open(submissions.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::vector<FolderEntry> entries;
    struct stat info;
    if (folder.fd < 0 || fstat(folder.fd, &info) != 0 || !readFolder(folder.fd, entries)) {
        error = "could not read the folder " + submissions + ": " + std::strerror(errno);
        return false;
    }
    std::vector<TopEntry> top;
    std::vector<std::string> outside;
    std::vector<std::pair<FileId, std::string>> seen;
    for (const FolderEntry& entry : entries) {
        FileId id;
        FolderLink judged = judgeEntry(folder.fd, info.st_dev, followLinks, entry, id);
        top.push_back(TopEntry{entry.name, judged != FolderLink::notFolder});
        if (judged == FolderLink::outside)
            outside.push_back(entry.name);
        if (judged == FolderLink::inside)
            seen.emplace_back(id, entry.name);
        if (followLinks && judged == FolderLink::inside && entry.type == DT_LNK)
            listing.followed.emplace_back(entry.name, whereLinkLeads(submissions, entry.name));
    }
    listing.site = choice.given ? choice.site : detectLayout(choice.sites, top);
    students = studentsOf(*choice.sites[listing.site], top, listing.ignored);
    std::sort(outside.begin(), outside.end());
    for (Student& student : students)
        for (const std::string& name : student.folders)
            student.folderOutside = student.folderOutside || std::binary_search(outside.begin(), outside.end(), name);
    std::stable_sort(seen.begin(), seen.end(), [](const auto& a, const auto& b) {
        return std::tie(a.first.device, a.first.inode) < std::tie(b.first.device, b.first.inode);
    });
    for (std::size_t i = 1; i < seen.size(); ++i)
        if (seen[i].first == seen[i - 1].first)
            listing.sameFolder.emplace_back(seen[i].second, seen[i - 1].second);
    std::sort(listing.sameFolder.begin(), listing.sameFolder.end());
    return true;
}

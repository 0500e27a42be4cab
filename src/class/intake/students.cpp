#include "class/intake/students.h"

#include "io/descriptor.h"
#include "io/folder.h"
#include "class/intake/layout.h"
#include "class/intake/student_files.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <tuple>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

constexpr std::string_view macFolder = "__MACOSX";

// A Mac's litter, passed over and counted.
void dropLitter(std::vector<FolderEntry>& entries, Listing& listing)
{
    listing.litter += std::erase_if(entries, [](const FolderEntry& entry) { return entry.name == macFolder; });
}

bool isFolder(int parent, const FolderEntry& entry)
{
    if (entry.type == DT_DIR || entry.type == DT_REG)
        return entry.type == DT_DIR;
    struct stat info;
    return fstatat(parent, entry.name.c_str(), &info, 0) == 0 && S_ISDIR(info.st_mode);
}

// Whether the folder holds what a Mac leaves beside files (._ names, a
// .DS_Store), which a listing passes over with every name that starts
// with a dot: a folder of nothing else is no empty class, but a download
// that lost its files.
bool holdsMacLitter(const std::string& path)
{
    struct CloseFolder {
        void operator()(DIR* folder) const { closedir(folder); }
    };
    std::unique_ptr<DIR, CloseFolder> folder(opendir(path.c_str()));
    if (!folder)
        return false;
    while (const dirent* entry = readdir(folder.get()))
        if (std::string_view name = entry->d_name; name.starts_with("._") || name == ".DS_Store")
            return true;
    return false;
}

// A download unzipped into a folder may sit in one folder of its own (the
// folder that held it, beside __MACOSX): where what that holds reads as a
// class, it is read instead, and `listing.within` names it.
void unwrapFolder(const LayoutChoice& choice, Descriptor& folder, std::string& root,
                  std::vector<FolderEntry>& entries, Listing& listing)
{
    if (entries.size() != 1 || entries.front().type != DT_DIR || namesOneStudent(choice.sites, entries.front().name))
        return;
    const std::string& name = entries.front().name;
    Descriptor inner(openat(folder.fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    std::vector<FolderEntry> innerEntries;
    if (inner.fd < 0 || !readFolder(inner.fd, innerEntries))
        return;
    std::size_t litter = std::erase_if(innerEntries, [](const FolderEntry& entry) { return entry.name == macFolder; });
    std::vector<TopEntry> top;
    for (const FolderEntry& entry : innerEntries)
        top.push_back(TopEntry{entry.name, isFolder(inner.fd, entry)});
    if (!readsAsClass(choice.sites, top))
        return;
    listing.within = name;
    listing.litter += litter;
    root = pathInFolder(root, name);
    folder = std::move(inner);
    entries = std::move(innerEntries);
}

// The first bytes of each file at the top whose text the site reads, a
// file never opened through a link or where it is not a regular file; each
// entry's text points into what is returned.
std::vector<std::string> textsRead(int folder, const SiteNames& site, std::vector<TopEntry>& top)
{
    std::vector<std::string> texts(top.size());
    if (site.readsText == nullptr)
        return texts;
    for (std::size_t i = 0; i < top.size(); ++i) {
        if (top[i].folder || !site.readsText(top[i].name))
            continue;
        StudentFile file = openFlatFile(folder, std::string(top[i].name), {});
        if (file.state != FileState::graded)
            continue;
        texts[i].resize(textRead + 1);
        std::size_t got = 0;
        while (got < texts[i].size()) {
            ssize_t n = read(file.file.fd, texts[i].data() + got, texts[i].size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        texts[i].resize(got);
        top[i].text = texts[i];
    }
    return texts;
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
    std::string root = submissions;
    dropLitter(entries, listing);
    if (entries.empty() && listing.litter == 0 && holdsMacLitter(submissions))
        ++listing.litter;
    unwrapFolder(choice, folder, root, entries, listing);
    if (fstat(folder.fd, &info) != 0) {
        error = "could not read the folder " + root + ": " + std::strerror(errno);
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
            listing.followed.emplace_back(entry.name, whereLinkLeads(root, entry.name));
    }
    listing.site = choice.given ? choice.site : detectLayout(choice.sites, top);
    const SiteNames& site = *choice.sites[listing.site];
    std::vector<std::string> texts = textsRead(folder.fd, site, top);
    students = studentsOf(site, top, listing.ignored, nullptr, &listing.doubtful, &listing.older, &listing.remarks);
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

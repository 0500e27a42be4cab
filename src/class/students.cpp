#include "students.h"

#include "io/descriptor.h"
#include "io/folder.h"
#include "io/whole_file.h"

#include <algorithm>
#include <tuple>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// An instructor may gather students' folders as links to them; where the
// entry leads is given in `id`.
bool isFolder(int parent, const FolderEntry& entry, FileId& id)
{
    if (entry.type != DT_DIR && entry.type != DT_LNK && entry.type != DT_UNKNOWN)
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
    if (folder.fd < 0 || !readFolder(folder.fd, entries)) {
        error = "could not read the folder " + submissions + ": " + std::strerror(errno);
        return false;
    }
    std::vector<std::pair<FileId, std::string>> seen;
    for (FolderEntry& entry : entries) {
        FileId id;
        if (!isFolder(folder.fd, entry, id)) {
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

bool readRoster(const std::string& path, std::vector<std::string>& names, std::string& error)
{
    Descriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    std::string text;
    if (file.fd < 0 || !readWholeFile(file.fd, text)) {
        error = "could not read the roster " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string_view rest = text;
    // A roster saved as "CSV UTF-8" starts with a byte-order mark.
    if (rest.substr(0, 3) == "\xEF\xBB\xBF")
        rest.remove_prefix(3);
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty())
            names.emplace_back(line);
    }
    return true;
}

std::vector<std::string> applyRoster(std::vector<Student>& students, std::vector<std::string> roster)
{
    std::sort(roster.begin(), roster.end());
    roster.erase(std::unique(roster.begin(), roster.end()), roster.end());
    std::vector<std::string> unlisted;
    for (Student& student : students) {
        student.onRoster = std::binary_search(roster.begin(), roster.end(), student.name);
        if (!student.onRoster)
            unlisted.push_back(student.name);
    }
    std::size_t folders = students.size();
    for (std::string& name : roster) {
        auto byName = [](const Student& student, const std::string& key) { return student.name < key; };
        auto found = std::lower_bound(students.begin(), students.begin() + static_cast<std::ptrdiff_t>(folders), name, byName);
        if (found != students.begin() + static_cast<std::ptrdiff_t>(folders) && found->name == name)
            continue;
        Student student;
        student.name = std::move(name);
        student.onRoster = true;
        students.push_back(std::move(student));
    }
    std::inplace_merge(students.begin(), students.begin() + static_cast<std::ptrdiff_t>(folders), students.end(),
                       [](const Student& a, const Student& b) { return a.name < b.name; });
    return unlisted;
}

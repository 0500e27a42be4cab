#include "students.h"

#include "io/descriptor.h"
#include "io/folder.h"
#include "io/whole_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// An instructor may gather students' folders as links to them.
bool isFolder(int parent, const FolderEntry& entry)
{
    if (entry.type == DT_DIR)
        return true;
    if (entry.type != DT_LNK && entry.type != DT_UNKNOWN)
        return false;
    struct stat info;
    return fstatat(parent, entry.name.c_str(), &info, 0) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

bool listStudents(const std::string& submissions, std::vector<Student>& students,
                  std::vector<std::string>& ignored, std::string& error)
{
    Descriptor folder(open(submissions.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::vector<FolderEntry> entries;
    if (folder.fd < 0 || !readFolder(folder.fd, entries)) {
        error = "could not read the folder " + submissions + ": " + std::strerror(errno);
        return false;
    }
    for (FolderEntry& entry : entries) {
        if (!isFolder(folder.fd, entry)) {
            ignored.push_back(std::move(entry.name));
            continue;
        }
        Student student;
        student.name = std::move(entry.name);
        student.hasFolder = true;
        students.push_back(std::move(student));
    }
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

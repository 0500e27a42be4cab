#include "roster.h"

#include "grading/line_walk.h"
#include "io/descriptor.h"
#include "io/whole_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>

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
        std::string_view line = nextLine(rest);
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

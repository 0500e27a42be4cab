#include "class/intake/roster.h"

#include "grading/line_walk.h"
#include "io/descriptor.h"
#include "io/whole_file.h"
#include "class/intake/person_names.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>

bool readRoster(const std::string& path, std::vector<std::string>& names, std::string& error)
{
    // Opened without blocking, and read only if it is a file: a FIFO named
    // as the roster would hold the run for ever.
    Descriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info;
    std::string text;
    if (file.fd < 0 || fstat(file.fd, &info) != 0) {
        error = "could not read the roster " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "the roster " + path + " is not a regular file";
        return false;
    }
    if (!readWholeFile(file.fd, text)) {
        error = "could not read the roster " + path + ": " + std::strerror(errno);
        return false;
    }
    std::string_view rest = text;
    // A roster saved as "CSV UTF-8" starts with a byte-order mark.
    if (rest.substr(0, 3) == "\xEF\xBB\xBF")
        rest.remove_prefix(3);
    while (!rest.empty()) {
        std::string_view name = trimmedName(nextLine(rest));
        if (!name.empty())
            names.emplace_back(name);
    }
    return true;
}

std::vector<std::string> applyRoster(std::vector<Student>& students, std::vector<std::string> roster)
{
    // Each enrolled student by the key their name is matched by; the first
    // line that names them is the name shown.
    std::map<std::string, std::string> enrolled;
    for (std::string& name : roster)
        enrolled.try_emplace(nameKey(name), std::move(name));
    std::vector<std::string> unlisted;
    for (Student& student : students) {
        auto found = enrolled.find(nameKey(student.name));
        student.onRoster = found != enrolled.end();
        if (student.onRoster)
            found->second.clear();  // has a folder: no row of its own
        else
            unlisted.push_back(student.name);
    }
    std::size_t folders = students.size();
    for (auto& [key, name] : enrolled) {
        if (name.empty())
            continue;
        Student student;
        student.name = std::move(name);
        student.onRoster = true;
        students.push_back(std::move(student));
    }
    std::sort(students.begin() + static_cast<std::ptrdiff_t>(folders), students.end(),
              [](const Student& a, const Student& b) { return a.name < b.name; });
    std::inplace_merge(students.begin(), students.begin() + static_cast<std::ptrdiff_t>(folders), students.end(),
                       [](const Student& a, const Student& b) { return a.name < b.name; });
    return unlisted;
}

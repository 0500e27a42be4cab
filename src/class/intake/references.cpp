#include "class/intake/references.h"

#include "grading/fields.h"
#include "grading/line_walk.h"
#include "grading/test_number.h"
#include "io/descriptor.h"
#include "io/folder.h"
#include "io/whole_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool loadTest(int folderFd, const std::string& folder, const std::string& name, std::vector<Test>& tests,
              std::vector<std::string>& skipped, std::string& error)
{
    struct stat info;
    auto unreadable = [&] {
        error = "could not read " + pathInFolder(folder, name) + ": " + std::strerror(errno);
        return false;
    };
    // The instructor's own links are followed: a reference may live
    // elsewhere.  One that leads nowhere is a test that cannot be read.
    if (fstatat(folderFd, name.c_str(), &info, 0) != 0)
        return unreadable();
    // A folder is plainly no test; a FIFO or a device named as one is a
    // reference that is not read, and is told.
    if (!S_ISREG(info.st_mode)) {
        if (!S_ISDIR(info.st_mode))
            skipped.push_back(name);
        return true;
    }
    Descriptor file(openat(folderFd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    Test test;
    if (file.fd < 0 || fstat(file.fd, &info) != 0 || !readWholeFile(file.fd, test.text))
        return unreadable();
    test.name = name;
    test.number = testNumberOf(name);
    test.lineCount = countLines(test.text);
    test.file = FileId{info.st_dev, info.st_ino};
    tests.push_back(std::move(test));
    return true;
}

}  // namespace

std::int32_t testNumberOf(std::string_view name)
{
    std::size_t digits = name.find_first_of("0123456789");
    if (digits == std::string_view::npos)
        return 0;
    std::string number(name.substr(digits, name.find_first_not_of("0123456789", digits) - digits));
    return readTestNumber(number.c_str());
}

std::vector<std::uint64_t> incompleteLines(std::string_view reference)
{
    std::vector<std::uint64_t> lines;
    for (std::uint64_t number = 1; !reference.empty(); ++number)
        if (!isComplete(splitEntry(nextLine(reference))))
            lines.push_back(number);
    return lines;
}

bool loadTests(const std::string& folder, std::vector<Test>& tests, std::vector<std::string>& skipped,
               std::string& error)
{
    Descriptor folderFd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::vector<FolderEntry> entries;
    if (folderFd.fd < 0 || !readFolder(folderFd.fd, entries)) {
        error = "could not read the folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    for (const FolderEntry& entry : entries)
        if (!loadTest(folderFd.fd, folder, entry.name, tests, skipped, error))
            return false;
    std::stable_sort(tests.begin(), tests.end(),
                     [](const Test& a, const Test& b) { return a.number < b.number; });
    return true;
}

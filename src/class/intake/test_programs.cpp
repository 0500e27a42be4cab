#include "class/intake/test_programs.h"

#include "io/descriptor.h"
#include "io/folder.h"
#include "io/whole_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// No test program comes near this; a larger file is no program.
constexpr off_t largestProgram = 16 << 20;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

// The next field of `rest`, blanks before it taken off; a quote keeps the
// blanks inside it, as in C'END OF FILE'.
std::string_view nextField(std::string_view& rest)
{
    std::size_t start = 0;
    while (start < rest.size() && isBlank(rest[start]))
        ++start;
    std::size_t end = start;
    bool quoted = false;
    while (end < rest.size() && (quoted || !isBlank(rest[end]))) {
        if (rest[end] == '\'')
            quoted = !quoted;
        ++end;
    }
    std::string_view field = rest.substr(start, end - start);
    rest.remove_prefix(end);
    return field;
}

std::string_view stemOf(std::string_view name)
{
    std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
}

bool readProgramFile(int folderFd, const std::string& folder, const std::string& name, std::string& text,
                     std::string& error)
{
    Descriptor file(openat(folderFd, name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info;
    if (file.fd < 0 || fstat(file.fd, &info) != 0) {
        error = "could not read " + pathInFolder(folder, name) + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode) || info.st_size > largestProgram) {
        error = "could not read " + pathInFolder(folder, name) + ": not a test program (a regular file of at most 16 MiB)";
        return false;
    }
    if (!readWholeFile(file.fd, text)) {
        error = "could not read " + pathInFolder(folder, name) + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

TestProgram readProgram(std::string_view text)
{
    TestProgram program;
    std::uint32_t number = 0;
    while (!text.empty()) {
        std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        ++number;
        std::string_view rest = line;
        bool labelled = !rest.empty() && !isBlank(rest.front());
        std::string_view first = nextField(rest);
        if (first.empty() || first.front() == '.')
            continue;
        SourceStatement statement;
        statement.line = number;
        if (labelled) {
            statement.label = first;
            statement.operation = nextField(rest);
        } else {
            statement.operation = first;
        }
        statement.operands = nextField(rest);
        program.push_back(std::move(statement));
    }
    return program;
}

bool loadTestPrograms(const std::string& folder, std::vector<Test>& tests, std::vector<std::string>& missing,
                      std::vector<std::string>& several, std::string& error)
{
    Descriptor folderFd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::vector<FolderEntry> entries;
    if (folderFd.fd < 0 || !readFolder(folderFd.fd, entries)) {
        error = "could not read the folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    for (Test& test : tests) {
        std::vector<const FolderEntry*> found;
        for (const FolderEntry& entry : entries)
            if (entry.name != test.name && stemOf(entry.name) == stemOf(test.name) && entry.name != stemOf(entry.name))
                found.push_back(&entry);
        if (found.empty()) {
            missing.push_back(test.name);
            continue;
        }
        if (found.size() > 1)
            several.push_back(test.name);
        std::string text;
        if (!readProgramFile(folderFd.fd, folder, found.front()->name, text, error))
            return false;
        test.program = readProgram(text);
    }
    return true;
}

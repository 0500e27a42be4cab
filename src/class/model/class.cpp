#include "class/model/class.h"

#include <algorithm>

std::uint64_t totalOf(const Student& student)
{
    std::uint64_t total = 0;
    for (const TestResult& result : student.results)
        total += result.score;
    return total;
}

std::string_view siteName(const Student& student)
{
    std::string_view name = student.name;
    if (student.namesake)
        name.remove_suffix(std::min(name.size(), student.lmsId.size() + 3));
    return name;
}

std::string_view reasonOf(FileState state)
{
    switch (state) {
    case FileState::graded:
        return "graded";
    case FileState::missing:
        return "missing";
    case FileState::refusedOutside:
        return "refused: outside the student's folder";
    case FileState::refusedNotRegular:
        return "refused: not a regular file";
    case FileState::refusedTooLarge:
        return "refused: larger than 64 MiB";
    case FileState::unreadable:
        return "could not read";
    case FileState::ambiguous:
        return "not graded: two files could be it";
    case FileState::refusedArchiveLink:
        return "refused: a link inside an archive";
    case FileState::refusedArchivePath:
        return "refused: a path that leaves its archive";
    case FileState::encrypted:
        return "could not read: encrypted";
    case FileState::folderOutside:
        return "refused: the folder is a link out of SUBMISSIONS";
    case FileState::outOfMemory:
        return "could not grade: a line too long for the memory this run has";
    case FileState::noSubmission:
        return "no submission";
    }
    return "";
}

#include "class.h"

// The note below names the size.
static_assert(largestStudentFile == 64u << 20, "the refusal's note says 64 MiB");

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
    case FileState::noSubmission:
        return "no submission";
    }
    return "";
}

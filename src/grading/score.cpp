#include "score.h"

#include <cstdio>

namespace {

std::uint64_t countDifference(std::uint64_t studentCount, std::uint64_t referenceCount)
{
    return studentCount > referenceCount ? studentCount - referenceCount : referenceCount - studentCount;
}

}  // namespace

std::uint64_t scoreOf(std::uint64_t studentCount, std::uint64_t referenceCount, std::uint64_t wrongEntries)
{
    std::uint64_t penalty = wrongEntries + countDifference(studentCount, referenceCount);
    return referenceCount > penalty ? referenceCount - penalty : 0;
}

void printScore(std::int32_t testNumber, std::string_view studentPath,
                std::uint64_t studentCount, std::uint64_t referenceCount,
                std::uint64_t wrongEntries, Report& report)
{
    if (studentCount != referenceCount) {
        put(report, "Error: had ");
        putNumber(report, studentCount);
        put(report, " lines, but should have had ");
        putNumber(report, referenceCount);
        put(report, ".\n");
    }
    char opening[24];
    int length = std::snprintf(opening, sizeof opening, "%3d >> ", static_cast<int>(testNumber));
    put(report, std::string_view(opening, static_cast<std::size_t>(length)));
    put(report, " ");
    put(report, studentPath);
    put(report, " symbols: ");
    putNumber(report, scoreOf(studentCount, referenceCount, wrongEntries));
    put(report, " / ");
    putNumber(report, referenceCount);
    put(report, "\n");
}

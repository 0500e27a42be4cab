#include "score.h"

namespace {

std::uint64_t countDifference(std::uint64_t studentCount, std::uint64_t referenceCount)
{
    return studentCount > referenceCount ? studentCount - referenceCount : referenceCount - studentCount;
}

}  // namespace

std::uint64_t scoreOf(const LineCounts& counts)
{
    std::uint64_t penalty = counts.wrongEntries + countDifference(counts.student, counts.reference);
    return counts.reference > penalty ? counts.reference - penalty : 0;
}

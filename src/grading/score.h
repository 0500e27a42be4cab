// The score: the reference's line count less a point for every wrong
// compared line and for every line by which the two counts differ, never
// below 0; and the report's closing lines that tell it.
#ifndef LABELGRADE_SCORE_H
#define LABELGRADE_SCORE_H

#include "io/report.h"

#include <cstdint>
#include <string_view>

std::uint64_t scoreOf(std::uint64_t studentCount, std::uint64_t referenceCount, std::uint64_t wrongEntries);

void printScore(std::int32_t testNumber, std::string_view studentPath,
                std::uint64_t studentCount, std::uint64_t referenceCount,
                std::uint64_t wrongEntries, Report& report);

#endif

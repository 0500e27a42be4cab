// The entry check: the verdict on the student's line at each position that
// both files have.
#ifndef LABELGRADE_VERDICTS_H
#define LABELGRADE_VERDICTS_H

#include "verdict.h"

#include <cstdint>
#include <span>
#include <string_view>

// Decides positions in order, numbered from `firstPosition`, for as long as
// both texts start with a whole line (`final`: the text ends where the view
// ends), taking the lines off the front of both; at most as many as
// `verdicts` holds.  Gives how many were decided: fewer when either text has
// run out or holds only part of a line, so that more of it can be read.
// The verdicts look into the texts, and last as long as they do.
std::size_t checkEntries(std::string_view& student, bool studentFinal, std::string_view& reference,
                         bool referenceFinal, std::uint64_t firstPosition, std::span<Verdict> verdicts);

#endif

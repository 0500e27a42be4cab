// Which reference line each of a student's compared lines holds, found by
// its label (as it stands, in any case, or cut short) and, where a typo
// hides the label, by its neighbours or its address: the ground on which
// every cause is then checked, so that a line out of place, a column in the
// other order or a typo cannot pass for another cause.
#ifndef LABELGRADE_ALIGNMENT_H
#define LABELGRADE_ALIGNMENT_H

#include "class/explaining/kept_lines.h"
#include "class/explaining/reference_index.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

constexpr std::uint32_t noLine = UINT32_MAX;

struct Alignment {
    bool swapped = false;    // the file reads label first
    std::vector<bool> flipped;  // per position: the line reads the other way round from the file
    std::uint32_t cutTo = 0; // labels cut to this many characters; 0: not cut
    std::vector<std::uint32_t> lineOf;  // per compared position: the reference line it holds, or noLine
};

// Whether a line reads label first.
inline bool readsSwapped(const Alignment& alignment, std::size_t position)
{
    return alignment.swapped != alignment.flipped[position];
}

// A kept line's fields as the line reads: address, then label.
struct ReadFields {
    std::string_view address;
    std::string_view label;
};

ReadFields readFields(const ReferenceIndex& reference, const KeptLines& kept, const Alignment& alignment,
                      std::size_t position);

// Aligns lines by their labels, then fills a typo's line between two
// neighbours that leave it one place.
Alignment alignLines(const ReferenceIndex& reference, const KeptLines& kept);

// Aligns a run of lines not aligned where its neighbours leave exactly room
// for it; with `atEnds`, also a run at either end beside one neighbour, and
// between two where lines were added, the lines beyond those added where
// each is its line's but for a typo in its label.
void fillBetween(Alignment& alignment, const ReferenceIndex& reference, const KeptLines& kept, bool atEnds);

// For lines still not aligned: the reference line, near `near`, that
// `predicts` says the line's address stands for; the line is aligned to it
// only when its label is that line's but for one character.
using AddressPrediction = std::function<std::uint32_t(std::string_view address, std::int64_t near)>;
void alignByAddress(Alignment& alignment, const ReferenceIndex& reference, const KeptLines& kept,
                    const AddressPrediction& predicts);

// The label a reference line would show under the alignment's label
// causes, compared with a student's: 0 the same, 1 but for letter case.
// -1 neither.
int labelRelation(std::string_view student, std::string_view reference, std::uint32_t cutTo, bool& cut);

#endif

// How a student's addresses and labels stand to the reference's once lines
// are aligned: the base the addresses are written in and how far they lie
// from the reference's, line range by line range, checked against each
// other (an offset of 6 can read as decimal on a few lines, and one typo is
// an offset of one line only); and what each line needs besides.
#ifndef LABELGRADE_LINE_CAUSES_H
#define LABELGRADE_LINE_CAUSES_H

#include "class/explaining/alignment.h"
#include "class/explaining/kept_lines.h"
#include "class/explaining/reference_index.h"

#include <cstdint>
#include <string_view>
#include <vector>

// From reference line `from` on (to the next range), a student's address
// is the reference's plus `delta`, modulo 2^64.
struct OffsetRange {
    std::uint32_t from = 0;
    std::uint64_t delta = 0;
    // Where lines whose address a typo hides lie just before the range,
    // the first of them: the range may start there as well.
    std::uint32_t earliest = 0;
};

struct AddressModel {
    unsigned base = 16;
    std::vector<OffsetRange> ranges;  // by `from`, the first from line 0
    // The offset grows step by step, away from the reference's addresses,
    // range by range: one mistake at each of a kind of statement.
    bool grows = false;

    std::size_t rangeOf(std::uint32_t line) const;
    // The reference line, near `near`, whose address this address stands for.
    std::uint32_t lineFor(const ReferenceIndex& reference, std::string_view address, std::int64_t near) const;
};

// The base and ranges that explain the most aligned lines; a range holds
// at least two lines in a row, so that no typo makes one.
AddressModel addressModel(const ReferenceIndex& reference, const KeptLines& kept, const Alignment& alignment);

// What a wrong line aligned to a reference line needs to be explained.
struct LineNeeds {
    bool explained = true;  // every part of it is explained by the needs below
    bool decimal = false;
    bool labelCase = false;
    bool cut = false;
    bool swapped = false;  // read label first, which the alignment tells
    bool neighbour = false;  // its address is a line's beside it, as the student's file gives that line's
    bool labelRight = false;  // its label is the reference line's, as the other needs read it
    std::uint8_t forms = 0;  // AddressForm bits
    std::uint32_t range = noLine;  // the offset range whose offset it shows, if not 0
    std::uint32_t shows = noLine;  // the range whose offset its address shows, 0 or not; noLine: none
    bool readable = false;         // its address reads as a number, at `offset` from the reference's
    std::uint64_t offset = 0;
};

LineNeeds needsOf(const ReferenceIndex& reference, const AddressModel& model, const Alignment& alignment,
                  std::uint32_t line, const ReadFields& fields);

#endif

// A test's reference as a student's file is matched against it: each
// line's fields and address value, and its lines found by label, by label
// in any case and by address, built once for the whole class.
#ifndef LABELGRADE_REFERENCE_INDEX_H
#define LABELGRADE_REFERENCE_INDEX_H

#include "class/explaining/statements.h"
#include "grading/fields.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

// A key's hash and the reference line that has it, sorted by hash.
using LineKeys = std::vector<std::pair<std::uint64_t, std::uint32_t>>;

struct ReferenceIndex {
    std::vector<Symbol> symbols;        // viewing the test's text, which must outlive the index
    std::vector<std::uint64_t> values;  // each address read in hexadecimal
    std::vector<std::uint8_t> hasValue; // whether it reads so
    std::vector<std::uint32_t> widths;  // each address's digits, without a prefix
    std::vector<std::uint8_t> forms;    // and how it is written, as AddressForm bits
    // Whether its value lies below an address before it: a table in the
    // order the program defines its symbols goes back only at an EQU.
    std::vector<std::uint8_t> behind;
    LineKeys byLabel;
    LineKeys byFoldedLabel;             // the label in lower case
    LineKeys byValue;                   // the address's value, where it has one
    StatementModel statements;          // from the test's program, where one is given
    StatementModel literalsAlike;       // the same, where the BYTE mistakes size literals too, if that differs
};

ReferenceIndex indexReference(std::string_view text);

// A reference whose lines share a key by the thousand (the same label on
// every line) would make every look-up a walk through them all: a look-up
// checks at most this many lines either side of where it looks.
constexpr std::size_t mostLinesChecked = 64;

// The lines whose key hashes to `hash`, each checked by `holds`; of them,
// the one nearest `near`, the earlier of two as near.  UINT32_MAX: none.
template <typename Holds>
std::uint32_t nearestLine(const LineKeys& keys, std::uint64_t hash, std::int64_t near, Holds&& holds)
{
    using Key = std::pair<std::uint64_t, std::uint32_t>;
    auto first = std::partition_point(keys.begin(), keys.end(), [&](const Key& key) { return key.first < hash; });
    // Most labels looked up that no line has are typos: they cost one
    // search, not three.
    if (first == keys.end() || first->first != hash)
        return UINT32_MAX;
    auto last = std::partition_point(first, keys.end(), [&](const Key& key) { return key.first == hash; });
    std::uint32_t nearLine = near < 0 ? 0 : near > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(near);
    // Lines of one key are in order: look either side of `near`.
    auto split = std::partition_point(first, last, [&](const Key& key) { return key.second < nearLine; });
    auto distance = [&](std::uint32_t line) {
        std::int64_t d = static_cast<std::int64_t>(line) - near;
        return d < 0 ? -d : d;
    };
    std::uint32_t best = UINT32_MAX;
    auto consider = [&](std::uint32_t line) {
        if ((best == UINT32_MAX || distance(line) < distance(best) ||
             (distance(line) == distance(best) && line < best)) &&
            holds(line))
            best = line;
    };
    std::size_t checked = 0;
    for (auto at = split; at != first && checked < mostLinesChecked; ++checked)
        consider((--at)->second);
    checked = 0;
    for (auto at = split; at != last && checked < mostLinesChecked; ++at, ++checked)
        consider(at->second);
    return best;
}

#endif

// A test's reference as a student's file is matched against it: each
// line's fields and address value, and its lines found by label, by label
// in any case and by address, built once for the whole class.
#ifndef LABELGRADE_REFERENCE_INDEX_H
#define LABELGRADE_REFERENCE_INDEX_H

#include "grading/fields.h"

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
    LineKeys byLabel;
    LineKeys byFoldedLabel;             // the label in lower case
    LineKeys byValue;                   // the address's value, where it has one
};

ReferenceIndex indexReference(std::string_view text);

std::uint64_t foldedHash(std::string_view text);

// The lines whose key hashes to `hash`, each checked by `holds`; of them,
// the one nearest `near`, the earlier of two as near.  UINT32_MAX: none.
template <typename Holds>
std::uint32_t nearestLine(const LineKeys& keys, std::uint64_t hash, std::int64_t near, Holds&& holds)
{
    auto at = std::lower_bound(keys.begin(), keys.end(), std::make_pair(hash, std::uint32_t{0}));
    std::uint32_t best = UINT32_MAX;
    std::int64_t bestDistance = 0;
    for (; at != keys.end() && at->first == hash; ++at) {
        if (!holds(at->second))
            continue;
        std::int64_t distance = static_cast<std::int64_t>(at->second) - near;
        distance = distance < 0 ? -distance : distance;
        if (best == UINT32_MAX || distance < bestDistance) {
            best = at->second;
            bestDistance = distance;
        }
    }
    return best;
}

#endif

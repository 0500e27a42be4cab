#include "class/explaining/alignment.h"

#include "class/model/addresses.h"
#include "class/model/ascii_case.h"
#include "class/model/hashing.h"

#include <algorithm>

namespace {

// Whether a student's label is the reference's (cut to `cutTo`, if not 0)
// but for one character, in any case: a typo's.
bool nearlyLabel(std::string_view student, std::string_view want, std::uint32_t cutTo)
{
    if (cutTo > 0 && want.size() > cutTo)
        want = want.substr(0, cutTo);
    if (want.size() != student.size())
        return false;
    std::size_t differ = 0;
    for (std::size_t i = 0; i < want.size(); ++i)
        differ += lowerAscii(want[i]) != lowerAscii(student[i]) ? 1 : 0;
    return differ <= 1;
}

// Where the next line is looked for, walking the lines in order: as far
// from its position as the last line aligned was from its own.
struct Expected {
    std::int64_t drift = 0;

    std::int64_t at(std::size_t position) const { return static_cast<std::int64_t>(position) + drift; }
    void saw(std::size_t position, std::uint32_t line)
    {
        if (line != noLine)
            drift = static_cast<std::int64_t>(line) - static_cast<std::int64_t>(position);
    }
};

std::uint32_t lineByLabel(const ReferenceIndex& reference, std::string_view label, std::int64_t near)
{
    if (label.empty())
        return noLine;
    std::uint32_t line = nearestLine(reference.byLabel, hashText(label), near,
                                     [&](std::uint32_t r) { return reference.symbols[r].label == label; });
    if (line != noLine)
        return line;
    return nearestLine(reference.byFoldedLabel, foldedHash(label), near,
                       [&](std::uint32_t r) { return equalIgnoringCase(reference.symbols[r].label, label); });
}

// Whether more wrong lines find their label in the second field than in
// the first.
bool mostSwapped(const ReferenceIndex& reference, const KeptLines& kept)
{
    std::uint64_t straight = 0;
    std::uint64_t swapped = 0;
    for (std::size_t p = 0; p < kept.lines.size(); ++p) {
        const KeptLine& line = kept.lines[p];
        if (line.right) {
            ++straight;
            continue;
        }
        if (!line.complete() || line.clipped)
            continue;
        auto near = static_cast<std::int64_t>(p);
        straight += lineByLabel(reference, kept.second(line), near) != noLine ? 1 : 0;
        swapped += lineByLabel(reference, kept.first(line), near) != noLine ? 1 : 0;
    }
    return swapped > straight;
}

// Labels cut to one width: the width most lines not yet aligned have, when
// at least two of them then find their line.
void alignCutLabels(Alignment& alignment, const ReferenceIndex& reference, const KeptLines& kept)
{
    std::vector<std::uint32_t> widths(mostKeptFieldSize + 1, 0);
    for (std::size_t p = 0; p < kept.lines.size(); ++p) {
        const KeptLine& line = kept.lines[p];
        if (alignment.lineOf[p] == noLine && line.complete() && !line.clipped)
            ++widths[readFields(reference, kept, alignment, p).label.size()];
    }
    auto most = std::max_element(widths.begin(), widths.end());
    if (*most < 2)
        return;
    auto width = static_cast<std::uint32_t>(most - widths.begin());
    LineKeys cut;
    for (std::uint32_t r = 0; r < reference.symbols.size(); ++r)
        if (reference.symbols[r].label.size() > width)
            cut.emplace_back(foldedHash(reference.symbols[r].label.substr(0, width)), r);
    std::sort(cut.begin(), cut.end());
    std::vector<std::uint32_t> found = alignment.lineOf;
    std::uint32_t matched = 0;
    Expected expected;
    for (std::size_t p = 0; p < kept.lines.size(); expected.saw(p, alignment.lineOf[p]), ++p) {
        if (found[p] != noLine || !kept.lines[p].complete() || kept.lines[p].clipped)
            continue;
        std::string_view label = readFields(reference, kept, alignment, p).label;
        if (label.size() != width)
            continue;
        found[p] = nearestLine(cut, foldedHash(label), expected.at(p), [&](std::uint32_t r) {
            return equalIgnoringCase(reference.symbols[r].label.substr(0, width), label);
        });
        matched += found[p] != noLine ? 1 : 0;
    }
    if (matched < 2)
        return;
    alignment.lineOf = std::move(found);
    alignment.cutTo = width;
}

}  // namespace

// A run of lines not aligned between two that are, or at either end, is
// aligned where its neighbours leave exactly room for it: a typo's line.
// A line without two fields holds no symbol, and stays as it is.  At an
// end, one neighbour vouches less (the last line may be one printed out of
// order): `atEnds` says whether to fill there.
void fillBetween(Alignment& alignment, const ReferenceIndex& reference, const KeptLines& kept, bool atEnds)
{
    std::size_t referenceLines = reference.symbols.size();
    std::vector<std::uint32_t>& lineOf = alignment.lineOf;
    std::size_t count = lineOf.size();
    for (std::size_t p = 0; p < count;) {
        if (lineOf[p] != noLine || !kept.lines[p].complete()) {
            ++p;
            continue;
        }
        std::size_t end = p;
        while (end < count && lineOf[end] == noLine && kept.lines[end].complete())
            ++end;
        // The drift (reference line less position) on either side.
        // A line that holds no symbol (a trailing empty one) is no
        // neighbour: it vouches for nothing.
        bool before = p > 0 && lineOf[p - 1] != noLine;
        bool after = end < count && lineOf[end] != noLine;
        std::int64_t driftBefore = before ? static_cast<std::int64_t>(lineOf[p - 1]) - static_cast<std::int64_t>(p - 1) : 0;
        std::int64_t driftAfter = after ? static_cast<std::int64_t>(lineOf[end]) - static_cast<std::int64_t>(end) : 0;
        // At the start, lines above the first aligned one beyond the room
        // it leaves are lines added (a header), and the rest fill the room:
        // a header and a typo on the first line are not the first line left
        // out.
        bool atStart = atEnds && !before && after && driftAfter <= 0 && static_cast<std::int64_t>(end) + driftAfter >= 0;
        // So between two lines where lines were added (the drift falls):
        // those beyond the lines added fill the room above the later line
        // where each is its line's but for a typo in the label (its label
        // alone kept it from its line), and lines added above a typo are
        // not its line left out.
        std::size_t added = before && after && driftAfter < driftBefore ? static_cast<std::size_t>(driftBefore - driftAfter) : 0;
        bool addedAbove = atEnds && added > 0 && end - p > added;
        for (std::size_t q = p + added; addedAbove && q < end; ++q) {
            auto line = static_cast<std::size_t>(static_cast<std::int64_t>(q) + driftAfter);
            addedAbove = line < referenceLines &&
                         nearlyLabel(readFields(reference, kept, alignment, q).label, reference.symbols[line].label, alignment.cutTo);
        }
        bool fits = before && after ? driftBefore == driftAfter || addedAbove
                    : !atEnds         ? false
                    : before          ? true
                    : atStart;
        std::int64_t drift = before && !addedAbove ? driftBefore : driftAfter;
        for (std::size_t q = addedAbove ? p + added : p; fits && q < end; ++q) {
            std::int64_t line = static_cast<std::int64_t>(q) + drift;
            if (line >= 0 && line < static_cast<std::int64_t>(referenceLines))
                lineOf[q] = static_cast<std::uint32_t>(line);
        }
        p = end;
    }
}

ReadFields readFields(const ReferenceIndex& reference, const KeptLines& kept, const Alignment& alignment,
                      std::size_t position)
{
    const KeptLine& line = kept.lines[position];
    if (line.right)
        return ReadFields{reference.symbols[position].address, reference.symbols[position].label};
    if (readsSwapped(alignment, position))
        return ReadFields{kept.second(line), kept.first(line)};
    return ReadFields{kept.first(line), kept.second(line)};
}

int labelRelation(std::string_view student, std::string_view reference, std::uint32_t cutTo, bool& cut)
{
    cut = cutTo > 0 && reference.size() > cutTo;
    if (cut)
        reference = reference.substr(0, cutTo);
    if (student == reference)
        return 0;
    return equalIgnoringCase(student, reference) ? 1 : -1;
}

Alignment alignLines(const ReferenceIndex& reference, const KeptLines& kept)
{
    Alignment alignment;
    alignment.swapped = mostSwapped(reference, kept);
    alignment.flipped.assign(kept.lines.size(), false);
    alignment.lineOf.assign(kept.lines.size(), noLine);
    Expected expected;
    for (std::size_t p = 0; p < kept.lines.size(); expected.saw(p, alignment.lineOf[p]), ++p) {
        const KeptLine& line = kept.lines[p];
        if (line.right) {
            alignment.lineOf[p] = static_cast<std::uint32_t>(p);
            continue;
        }
        if (!line.complete() || line.clipped)
            continue;
        std::int64_t near = expected.at(p);
        ReadFields fields = readFields(reference, kept, alignment, p);
        alignment.lineOf[p] = lineByLabel(reference, fields.label, near);
        // A typo can turn a short label into another line's: where the line
        // stands, its own address and a label but for one character say
        // which line it is.
        if (alignment.lineOf[p] != noLine && alignment.lineOf[p] != near && near >= 0 &&
            near < static_cast<std::int64_t>(reference.symbols.size())) {
            const Symbol& there = reference.symbols[static_cast<std::size_t>(near)];
            if (fields.address == there.address && nearlyLabel(fields.label, there.label, 0))
                alignment.lineOf[p] = static_cast<std::uint32_t>(near);
        }
        if (alignment.lineOf[p] != noLine)
            continue;
        // A line the other way round from the file's others.
        alignment.flipped[p] = true;
        alignment.lineOf[p] = lineByLabel(reference, readFields(reference, kept, alignment, p).label, near);
        alignment.flipped[p] = alignment.lineOf[p] != noLine;
    }
    alignCutLabels(alignment, reference, kept);
    fillBetween(alignment, reference, kept, false);
    return alignment;
}

void alignByAddress(Alignment& alignment, const ReferenceIndex& reference, const KeptLines& kept,
                    const AddressPrediction& predicts)
{
    Expected expected;
    for (std::size_t p = 0; p < kept.lines.size(); expected.saw(p, alignment.lineOf[p]), ++p) {
        const KeptLine& line = kept.lines[p];
        if (alignment.lineOf[p] != noLine || !line.complete() || line.clipped)
            continue;
        ReadFields fields = readFields(reference, kept, alignment, p);
        std::uint32_t r = predicts(fields.address, expected.at(p));
        if (r == noLine)
            continue;
        if (nearlyLabel(fields.label, reference.symbols[r].label, alignment.cutTo))
            alignment.lineOf[p] = r;
    }
}

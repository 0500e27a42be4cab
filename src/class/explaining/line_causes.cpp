#include "class/explaining/line_causes.h"

#include "class/model/addresses.h"

#include <algorithm>

namespace {

// A line's offset in one base, where both addresses read as numbers.
struct LineDelta {
    std::uint32_t line = 0;
    std::uint64_t delta = 0;
};

std::vector<LineDelta> deltasIn(unsigned base, const ReferenceIndex& reference, const KeptLines& kept,
                                const Alignment& alignment)
{
    std::vector<LineDelta> deltas;
    for (std::size_t p = 0; p < alignment.lineOf.size(); ++p) {
        std::uint32_t r = alignment.lineOf[p];
        if (r == noLine || reference.hasValue[r] == 0)
            continue;
        ReadAddress read;
        if (readAddress(readFields(reference, kept, alignment, p).address, base, read))
            deltas.push_back(LineDelta{r, read.value - reference.values[r]});
    }
    std::stable_sort(deltas.begin(), deltas.end(), [](const LineDelta& a, const LineDelta& b) { return a.line < b.line; });
    return deltas;
}

// Runs of lines in the reference's order that share an offset, at least
// two long, joined where only shorter runs lay between runs of one offset;
// with the lines they hold.  A range starts at its first line with its
// offset since the last run of the range before: a typo just after the
// start does not move it.
AddressModel rangesOf(unsigned base, const std::vector<LineDelta>& deltas, std::uint64_t& held)
{
    // Runs long enough: two lines, or three for an offset where a run
    // follows, since two typos side by side can show one offset where the
    // file then goes on as before, but a wrong start address or directive
    // holds to the end.
    std::vector<std::pair<std::size_t, std::size_t>> runs;
    for (std::size_t at = 0; at < deltas.size();) {
        std::size_t end = at;
        while (end < deltas.size() && deltas[end].delta == deltas[at].delta)
            ++end;
        if (end - at >= 2)
            runs.emplace_back(at, end);
        at = end;
    }
    for (std::size_t i = 0; i + 1 < runs.size();)
        if (runs[i].second - runs[i].first < 3 && deltas[runs[i].first].delta != 0)
            runs.erase(runs.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    AddressModel model;
    model.base = base;
    held = 0;
    // Lines before the first range are as the reference's, unless a typo
    // hides that the first range starts with them.
    model.ranges.push_back(OffsetRange{0, 0, 0});
    std::size_t afterKept = 0;  // where the last run kept ended
    bool first = true;
    for (auto [at, end] : runs) {
        held += end - at;
        if (model.ranges.back().delta != deltas[at].delta) {
            // Between the run before and this one lie lines that no run
            // vouches for, any of which may be a typo, even one that shows
            // an offset by chance.  The range is said to start at its
            // first line after the last that shows the offset before it,
            // and it may start as early as the line after that run.
            std::size_t start = afterKept;
            for (std::size_t k = afterKept; k < at; ++k)
                if (deltas[k].delta == model.ranges.back().delta)
                    start = k + 1;
            bool shownBefore = start > afterKept;
            while (deltas[start].delta != deltas[at].delta)
                ++start;
            std::uint32_t from = deltas[start].line;
            std::uint32_t earliest = afterKept == 0 ? 0 : deltas[afterKept - 1].line + 1;
            // The first range starts with the file unless a line before it
            // shows the reference's own addresses.
            if (first && (from == 0 || !shownBefore))
                model.ranges.back().delta = deltas[at].delta;
            else
                model.ranges.push_back(OffsetRange{from, deltas[at].delta, std::min(earliest, from)});
        }
        afterKept = end;
        first = false;
    }
    return model;
}

}  // namespace

std::size_t AddressModel::rangeOf(std::uint32_t line) const
{
    auto after = std::upper_bound(ranges.begin(), ranges.end(), line,
                                  [](std::uint32_t l, const OffsetRange& range) { return l < range.from; });
    return static_cast<std::size_t>(after - ranges.begin()) - 1;
}

std::uint32_t AddressModel::lineFor(const ReferenceIndex& reference, std::string_view address, std::int64_t near) const
{
    ReadAddress read;
    if (!readAddress(address, base, read))
        return noLine;
    // The range `near` lies in and those beside it: a file of many ranges
    // would otherwise cost a look-up in each for every line.
    std::size_t nearRange = rangeOf(near < 0 ? 0 : near > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(near));
    std::uint32_t best = noLine;
    for (std::size_t i = nearRange > 0 ? nearRange - 1 : 0; i < ranges.size() && i <= nearRange + 1; ++i) {
        std::uint32_t from = ranges[i].from;
        std::uint32_t to = i + 1 < ranges.size() ? ranges[i + 1].from : UINT32_MAX;
        std::uint32_t line = nearestLine(reference.byValue, read.value - ranges[i].delta, near,
                                         [&](std::uint32_t r) { return r >= from && r < to; });
        auto distance = [&](std::uint32_t r) {
            std::int64_t d = static_cast<std::int64_t>(r) - near;
            return d < 0 ? -d : d;
        };
        if (line != noLine && (best == noLine || distance(line) < distance(best)))
            best = line;
    }
    return best;
}

AddressModel addressModel(const ReferenceIndex& reference, const KeptLines& kept, const Alignment& alignment)
{
    std::uint64_t heldHex = 0;
    std::uint64_t heldDecimal = 0;
    AddressModel hex = rangesOf(16, deltasIn(16, reference, kept, alignment), heldHex);
    AddressModel decimal = rangesOf(10, deltasIn(10, reference, kept, alignment), heldDecimal);
    // The reference's own base, unless decimal explains more lines: an
    // address that reads the same in both is no sign of either.
    return heldDecimal > heldHex ? decimal : hex;
}

LineNeeds needsOf(const ReferenceIndex& reference, const AddressModel& model, const Alignment& alignment,
                  std::uint32_t line, const ReadFields& fields)
{
    LineNeeds needs;
    const Symbol& want = reference.symbols[line];
    bool cut = false;
    int relation = labelRelation(fields.label, want.label, alignment.cutTo, cut);
    needs.explained = relation >= 0;
    needs.labelCase = relation == 1;
    needs.cut = cut && relation >= 0;
    std::size_t home = model.rangeOf(line);
    bool mayBeNext = home + 1 < model.ranges.size() && line >= model.ranges[home + 1].earliest;
    if (fields.address == want.address && model.base == 16 && model.ranges[home].delta == 0 && !mayBeNext)
        return needs;
    ReadAddress read;
    if (reference.hasValue[line] == 0 || !readAddress(fields.address, model.base, read)) {
        needs.explained = needs.explained && fields.address == want.address;
        return needs;
    }
    std::size_t range = home;
    // A line before a range, where typos hide whether the range starts, is
    // the range's if it shows the range's offset.
    if (range + 1 < model.ranges.size() && line >= model.ranges[range + 1].earliest &&
        read.value == reference.values[line] + model.ranges[range + 1].delta)
        ++range;
    std::uint64_t value = reference.values[line] + model.ranges[range].delta;
    if (read.value != value) {
        needs.explained = false;
        return needs;
    }
    if (model.ranges[range].delta != 0)
        needs.range = static_cast<std::uint32_t>(range);
    needs.decimal = model.base == 10 && value >= 10;
    // The reference's own address was read once, when it was indexed.
    needs.forms = static_cast<std::uint8_t>(read.forms & ~reference.forms[line]);
    if (read.digits != std::max(reference.widths[line], digitsOf(value, model.base)))
        needs.forms |= otherWidth;
    return needs;
}

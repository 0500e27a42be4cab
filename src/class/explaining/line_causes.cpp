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

using LineRuns = std::vector<std::pair<std::size_t, std::size_t>>;

// Where the chain of runs that holds to the file's end starts: each run
// right after the one before, and further the same way.  A run of two
// lines within it is a step, not two typos side by side, where none after
// it is at the offset before it: the file does not go on as before, and
// each of a program's last statements may add its own mistake.
std::size_t chainToTheEnd(const std::vector<LineDelta>& deltas, const LineRuns& runs)
{
    if (runs.empty() || runs.back().second != deltas.size())
        return runs.size();
    auto offset = [&](std::size_t run) { return static_cast<std::int64_t>(deltas[runs[run].first].delta); };
    std::size_t start = runs.size() - 1;
    while (start > 0) {
        std::size_t k = start - 1;
        if (runs[k].second != runs[start].first || offset(k) == offset(start) ||
            (start + 1 < runs.size() && (offset(start) > offset(k)) != (offset(start + 1) > offset(start))))
            break;
        start = k;
    }
    return start;
}

// Whether a run from `from` on, in a chain to the end (its offsets in
// order), is at `delta`.
bool chainHolds(const std::vector<LineDelta>& deltas, const LineRuns& runs, std::size_t from, std::uint64_t delta)
{
    auto offset = [&](std::size_t run) { return static_cast<std::int64_t>(deltas[runs[run].first].delta); };
    auto wanted = static_cast<std::int64_t>(delta);
    bool up = offset(runs.size() - 1) > offset(from);
    std::size_t low = from;
    std::size_t high = runs.size();
    while (low < high) {
        std::size_t middle = low + (high - low) / 2;
        if (offset(middle) == wanted)
            return true;
        if ((offset(middle) < wanted) == up)
            low = middle + 1;
        else
            high = middle;
    }
    return false;
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
    LineRuns runs;
    for (std::size_t at = 0; at < deltas.size();) {
        std::size_t end = at;
        while (end < deltas.size() && deltas[end].delta == deltas[at].delta)
            ++end;
        if (end - at >= 2)
            runs.emplace_back(at, end);
        at = end;
    }
    // The lines of runs kept only as steps to the end do not count toward
    // the base: read in the wrong one, a file's offsets step too.
    std::uint64_t stepped = 0;
    std::size_t chain = chainToTheEnd(deltas, runs);
    LineRuns kept;
    kept.reserve(runs.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        bool twoLines =
            i + 1 < runs.size() && runs[i].second - runs[i].first < 3 && deltas[runs[i].first].delta != 0;
        if (twoLines) {
            // Before the first run kept, the file held the reference's own
            // addresses: two typos side by side that it then goes back to
            // are no step either.
            std::uint64_t before = kept.empty() ? 0 : deltas[kept.back().first].delta;
            if (i < chain || chainHolds(deltas, runs, i + 1, before))
                continue;
            stepped += runs[i].second - runs[i].first;
        }
        kept.push_back(runs[i]);
    }
    runs = std::move(kept);
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
    held -= stepped;
    return model;
}

// A staircase needs this many steps, so that two or three mistakes of
// their own (a wrong start and one directive) stay ranges told apart.
constexpr std::size_t leastSteps = 3;
// Past this many runs of one offset, a file is too broken to be a staircase.
constexpr std::size_t mostStairRuns = 512;

struct Run {
    std::size_t at = 0;
    std::size_t end = 0;
    std::int64_t delta = 0;
};

// Runs of one offset, a line long or more, as signed offsets.
std::vector<Run> runsOf(const std::vector<LineDelta>& deltas)
{
    std::vector<Run> runs;
    for (std::size_t at = 0; at < deltas.size();) {
        std::size_t end = at;
        while (end < deltas.size() && deltas[end].delta == deltas[at].delta)
            ++end;
        runs.push_back(Run{at, end, static_cast<std::int64_t>(deltas[at].delta)});
        at = end;
    }
    return runs;
}

// The runs, in order, whose offsets grow one way and hold the most lines:
// the rest are typos.
std::vector<std::size_t> growingRuns(const std::vector<Run>& runs, int way)
{
    std::vector<std::size_t> held(runs.size(), 0);
    std::vector<std::size_t> previous(runs.size(), SIZE_MAX);
    std::size_t best = SIZE_MAX;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        if (way > 0 ? runs[i].delta < 0 : runs[i].delta > 0)
            continue;  // on the other side of the reference's addresses
        held[i] = runs[i].end - runs[i].at;
        for (std::size_t j = 0; j < i; ++j)
            if (held[j] != 0 && (way > 0 ? runs[i].delta >= runs[j].delta : runs[i].delta <= runs[j].delta) &&
                held[j] + runs[i].end - runs[i].at > held[i]) {
                held[i] = held[j] + runs[i].end - runs[i].at;
                previous[i] = j;
            }
        if (best == SIZE_MAX || held[i] > held[best])
            best = i;
    }
    std::vector<std::size_t> chosen;
    for (std::size_t i = best; i != SIZE_MAX; i = previous[i])
        chosen.push_back(i);
    std::reverse(chosen.begin(), chosen.end());
    return chosen;
}

// A step a line long may be a typo that happens to lie between its
// neighbours.  Either most steps hold more, the last among them, or, where
// the file's addresses can be read in no other base, the offset it grows
// from holds on several lines and no step a line long is followed by an
// offset the file held before it, as a typo's line is: reserving too
// little at each of several statements at a program's end changes the
// offset at every line, and every change lasts.  Read in the wrong base, a
// file's offsets change at every line too.
bool stepsHold(const std::vector<Run>& runs, const std::vector<std::size_t>& chosen, bool baseSure)
{
    // A step is all the runs of its offset: typos that split one do not
    // make its parts steps of their own.
    std::size_t steps = 0;
    std::size_t single = 0;
    std::size_t lastLines = 0;
    for (std::size_t k = 0; k < chosen.size(); ++steps) {
        std::size_t lines = 0;
        std::size_t next = k;
        for (; next < chosen.size() && runs[chosen[next]].delta == runs[chosen[k]].delta; ++next)
            lines += runs[chosen[next]].end - runs[chosen[next]].at;
        single += lines == 1 ? 1 : 0;
        lastLines = lines;
        k = next;
    }
    if (2 * single < steps && lastLines > 1)
        return true;
    constexpr std::size_t leastLinesBefore = 2;
    if (!baseSure || runs[chosen.front()].end - runs[chosen.front()].at < leastLinesBefore)
        return false;
    for (std::size_t k = 1; k < chosen.size(); ++k) {
        const Run& step = runs[chosen[k]];
        if (step.end - step.at > 1 || step.delta == runs[chosen[k - 1]].delta)
            continue;
        std::size_t next = chosen[k] + 1;
        if (next == runs.size())
            return false;
        // Back to an offset the file held before: typos side by side.  A
        // right line (an EQU of a constant) goes back to none.
        for (std::size_t j = 0; j < k && runs[next].delta != 0; ++j)
            if (runs[next].delta == runs[chosen[j]].delta)
                return false;
    }
    return true;
}

// An offset that grows at each of several lines, where a typo or two lie
// among them: each step a range, however short, since one statement's
// mistake may lie between two symbols only.  Empty where the offsets do
// not grow so, or a run of two lines or more goes against it.
AddressModel staircaseOf(unsigned base, const std::vector<LineDelta>& deltas, bool baseSure, std::uint64_t& held)
{
    AddressModel model;
    model.base = base;
    held = 0;
    std::vector<Run> runs = runsOf(deltas);
    if (runs.size() <= leastSteps || runs.size() > mostStairRuns)
        return model;
    for (int way : {1, -1}) {
        std::vector<std::size_t> chosen = growingRuns(runs, way);
        std::vector<bool> in(runs.size(), false);
        std::size_t lines = 0;
        for (std::size_t i : chosen) {
            in[i] = true;
            lines += runs[i].end - runs[i].at;
        }
        std::size_t typos = deltas.size() - lines;
        bool onlyTypos = 3 * typos <= lines;
        for (std::size_t i = 0; i < runs.size() && onlyTypos; ++i)
            onlyTypos = in[i] || runs[i].end - runs[i].at == 1;
        if (!onlyTypos)
            continue;
        AddressModel stairs;
        stairs.base = base;
        stairs.grows = true;
        stairs.ranges.push_back(OffsetRange{0, static_cast<std::uint64_t>(runs[chosen.front()].delta), 0});
        std::uint32_t afterLast = 0;
        for (std::size_t i : chosen) {
            auto delta = static_cast<std::uint64_t>(runs[i].delta);
            if (delta != stairs.ranges.back().delta)
                stairs.ranges.push_back(OffsetRange{deltas[runs[i].at].line, delta, afterLast});
            afterLast = deltas[runs[i].end - 1].line + 1;
        }
        if (stairs.ranges.size() > leastSteps && stepsHold(runs, chosen, baseSure)) {
            held = lines;
            return stairs;
        }
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

namespace {

// The lines whose address reads exactly the reference's value, of values
// that read alike in no two bases (the digits 0 to 9 are the same in both).
std::size_t exactLines(const ReferenceIndex& reference, const std::vector<LineDelta>& deltas)
{
    constexpr std::uint64_t leastTwoDigits = 10;
    return static_cast<std::size_t>(std::count_if(deltas.begin(), deltas.end(), [&](const LineDelta& at) {
        return at.delta == 0 && reference.values[at.line] >= leastTwoDigits;
    }));
}

}  // namespace

AddressModel addressModel(const ReferenceIndex& reference, const KeptLines& kept, const Alignment& alignment)
{
    std::uint64_t heldHex = 0;
    std::uint64_t heldDecimal = 0;
    std::vector<LineDelta> hexDeltas = deltasIn(16, reference, kept, alignment);
    std::vector<LineDelta> decimalDeltas = deltasIn(10, reference, kept, alignment);
    AddressModel hex = rangesOf(16, hexDeltas, heldHex);
    AddressModel decimal = rangesOf(10, decimalDeltas, heldDecimal);
    // The reference's own base, unless decimal explains more lines: an
    // address that reads the same in both is no sign of either.  Nor is it
    // decimal where two addresses or more hold a hexadecimal letter, which
    // no typo makes so often.
    constexpr std::size_t mostHexLettersInDecimal = 1;
    bool hexLetters = hexDeltas.size() - decimalDeltas.size() > mostHexLettersInDecimal;
    // Where as many lines hold in each, the base that more addresses read
    // exactly the reference's value in: no typo writes a value in the other
    // base, but a few wrong lines may agree on an offset in either.
    bool moreExact = heldDecimal == heldHex && exactLines(reference, decimalDeltas) > exactLines(reference, hexDeltas);
    bool inDecimal = (heldDecimal > heldHex || moreExact) && !hexLetters;
    std::uint64_t heldStairs = 0;
    AddressModel stairs = staircaseOf(inDecimal ? 10 : 16, inDecimal ? decimalDeltas : hexDeltas, hexLetters, heldStairs);
    // As many lines, or more, told as one mistake at each step.
    if (stairs.grows && heldStairs >= (inDecimal ? heldDecimal : heldHex))
        return stairs;
    return inDecimal ? decimal : hex;
}

LineNeeds needsOf(const ReferenceIndex& reference, const AddressModel& model, const Alignment& alignment,
                  std::uint32_t line, const ReadFields& fields)
{
    LineNeeds needs;
    const Symbol& want = reference.symbols[line];
    bool cut = false;
    int relation = labelRelation(fields.label, want.label, alignment.cutTo, cut);
    needs.explained = relation >= 0;
    needs.labelRight = relation >= 0;
    needs.labelCase = relation == 1;
    needs.cut = cut && relation >= 0;
    std::size_t home = model.rangeOf(line);
    bool mayBeNext = home + 1 < model.ranges.size() && line >= model.ranges[home + 1].earliest;
    if (fields.address == want.address && model.base == 16 && model.ranges[home].delta == 0 && !mayBeNext) {
        needs.shows = static_cast<std::uint32_t>(home);
        return needs;
    }
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
    needs.readable = true;
    needs.offset = read.value - reference.values[line];
    std::uint64_t value = reference.values[line] + model.ranges[range].delta;
    if (read.value != value) {
        needs.explained = false;
        return needs;
    }
    needs.shows = static_cast<std::uint32_t>(range);
    if (model.ranges[range].delta != 0)
        needs.range = static_cast<std::uint32_t>(range);
    needs.decimal = model.base == 10 && value >= 10;
    // The reference's own address was read once, when it was indexed.
    needs.forms = static_cast<std::uint8_t>(read.forms & ~reference.forms[line]);
    if (read.digits != std::max(reference.widths[line], digitsOf(value, model.base)))
        needs.forms |= otherWidth;
    return needs;
}

#include "class/explaining/explanation.h"

#include "class/explaining/alignment.h"
#include "class/explaining/cause_kinds.h"
#include "class/explaining/line_causes.h"
#include "class/explaining/structure.h"
#include "class/model/addresses.h"
#include "class/model/ascii_case.h"

#include <algorithm>
#include <array>
#include <climits>

namespace {

// A pattern is told when it explains at least this many wrong lines, a
// slip when it explains this many points.
constexpr std::uint64_t leastEvidence = 2;
// A range of one offset this long is told even where most wrong lines
// beside it are not explained.
constexpr std::uint64_t rangeLinesAlone = 3;

// An assembler's offsets change at a directive or two, and its slips are
// few: past these, a file's addresses or order are too broken to tell
// range by range or slip by slip (a file sorted by label would be a slip a
// line), and one note says so.
constexpr std::size_t mostRangesTold = 4;
constexpr std::size_t mostSlipsTold = 6;

std::int32_t lineCount(std::uint64_t lines)
{
    return static_cast<std::int32_t>(std::min<std::uint64_t>(lines, INT32_MAX));
}

constexpr std::size_t indexOf(Cause cause)
{
    return static_cast<std::size_t>(cause);
}

// Causes as bits of one word, so that a line's needs are checked against
// what is told at once.
using CauseBits = std::uint32_t;
static_assert(causeCount <= 32, "a bit for every kind of cause");

constexpr CauseBits bitOf(Cause cause)
{
    return CauseBits{1} << indexOf(cause);
}

// An offset is told range by range, not by its bit.
constexpr CauseBits offsetBit = bitOf(Cause::addressOffset);

// The kinds told from the wrong lines that need them, taken from the
// table once, so that every step below walks them all.
constexpr std::size_t patternCount =
    static_cast<std::size_t>(std::count_if(std::begin(causeKindRows), std::end(causeKindRows),
                                           [](const CauseKindRow& row) { return row.found == Found::inLines; }));
constexpr std::array<CauseKindRow, patternCount> patternRows = [] {
    std::array<CauseKindRow, patternCount> rows{};
    std::size_t at = 0;
    for (const CauseKindRow& row : causeKindRows)
        if (row.found == Found::inLines)
            rows[at++] = row;
    return rows;
}();

// What one wrong position needs to be explained.
struct PositionNeeds {
    LineNeeds line;
    std::uint32_t event = noLine;
    bool added = false;  // a line that is no reference line's, which its event explains whole
    bool aligned = false;
    bool offsetApart = false;  // shows its range's offset apart from where the range is told
    bool bytes = false;    // needs a carriage return or byte-order mark that is not told
    bool patterned = false;  // needs a pattern or a slip, not the bytes alone
    CauseBits patterns = 0;  // the patterns it needs, where aligned
};

// Where a range's offset shows: its first and last lines, and the first
// line it may start at, past the last line before it that shows another.
// A range whose lines lie apart, with lines in a row at another offset
// between them, shows in a span for each part.
struct Span {
    std::size_t range = 0;
    std::uint32_t first = noLine;
    std::uint32_t last = 0;
    std::uint32_t earliest = 0;
    bool toTheEnd = false;  // no line after it shows another offset
};

// A wrong line's address at an offset from the reference's.
struct LineOffset {
    std::uint32_t line = 0;
    std::uint64_t offset = 0;
    bool compared = true;  // a compared line's, not one past the reference's end
};

// How many wrong lines need each pattern, by cause; an offset's also
// range by range, with where it shows.
struct Support {
    std::array<std::uint64_t, causeCount> lines{};
    std::uint8_t formBits = 0;
    std::vector<std::uint64_t> ranges;
    std::vector<Span> spans;
    std::vector<LineOffset> read;  // every wrong line's offset, where its address reads, by line
    RareVector<std::uint32_t> neighbours;  // lines whose address is a line's beside them, from 1
    // Of those, lines whose address no typo of one digit makes from the
    // reference's: one such line is evidence enough.
    std::uint64_t farNeighbours = 0;
};

// A reference line, and the range whose offset its address shows.
struct Shown {
    std::uint32_t line = 0;
    std::uint32_t range = 0;
};

// Typos side by side that may show one offset by chance.
constexpr std::size_t typosSideBySide = 2;

// An offset no range has, where two lines in a row show it, is another
// mistake's, and a range told beside it does not reach over it; a line's
// alone may be a typo, and hides where a range starts or ends.
void addRepeatedOffsets(std::vector<LineOffset> others, std::size_t other, std::vector<Shown>& shown)
{
    std::sort(others.begin(), others.end(), [](const LineOffset& a, const LineOffset& b) { return a.line < b.line; });
    auto sameAsNext = [&](std::size_t k) {
        return k + 1 < others.size() && others[k + 1].line == others[k].line + 1 && others[k + 1].offset == others[k].offset;
    };
    for (std::size_t k = 0; k < others.size(); ++k)
        if (sameAsNext(k) || (k > 0 && sameAsNext(k - 1)))
            shown.push_back(Shown{others[k].line, static_cast<std::uint32_t>(other)});
}

// An offset is told on the lines that show it, and no further: a range
// holds from the first line that shows its offset where the range starts
// until lines in a row show another, and may start as early as the line
// after the last such lines before it.  A line alone at another offset,
// or at its offset before it starts, may be a typo, and bounds nothing
// within; but a range said to hold to the end would claim such a line
// after its last, which may be a mistake of one statement, so it ends at
// its last line instead.  `lastOther` is the last line at another offset.
std::vector<Span> spansOf(std::vector<Shown> shown, const AddressModel& model, std::uint32_t lastOther)
{
    std::stable_sort(shown.begin(), shown.end(), [](const Shown& a, const Shown& b) { return a.line < b.line; });
    auto inRow = [&](std::size_t k, std::size_t next) {
        return shown[next].range == shown[k].range && shown[next].line == shown[k].line + 1;
    };
    std::vector<bool> solid(shown.size(), false);
    for (std::size_t k = 0; k + 1 < shown.size(); ++k)
        if (inRow(k, k + 1))
            solid[k] = solid[k + 1] = true;
    std::vector<Span> spans;
    for (std::size_t r = 0; r < model.ranges.size(); ++r) {
        // Lines before the range's start where typos hide whether it starts
        // there are the range's where two in a row show its offset; one
        // alone there may be a typo.
        std::uint32_t start = std::min(model.ranges[r].from, model.ranges[r].earliest);
        auto from = std::lower_bound(shown.begin(), shown.end(), start,
                                     [](const Shown& a, std::uint32_t line) { return a.line < line; });
        auto k = static_cast<std::size_t>(from - shown.begin());
        while (k < shown.size() && shown[k].line < model.ranges[r].from && !(shown[k].range == r && solid[k]))
            ++k;
        // No line past the next range's start shows this one's offset.
        std::uint32_t end = r + 1 < model.ranges.size() ? model.ranges[r + 1].from : UINT32_MAX;
        std::size_t partEnd = 0;  // where the part before ended, in `shown`
        bool partTold = false;
        for (bool first = true;; first = false) {
            while (k < shown.size() && shown[k].range != r && shown[k].line < end)
                ++k;
            if (k == shown.size() || shown[k].line >= end)
                break;
            std::size_t between = k - partEnd;
            Span span{r, shown[k].line, 0, first ? model.ranges[r].earliest : 0};
            for (std::size_t b = k; b-- > 0;)
                if (shown[b].range != r && solid[b]) {
                    span.earliest = std::max(span.earliest, shown[b].line + 1);
                    break;
                }
            std::size_t own = 0;
            for (; k < shown.size() && (shown[k].range == r || !solid[k]); ++k)
                if (shown[k].range == r) {
                    span.last = shown[k].line;
                    ++own;
                }
            span.toTheEnd = k == shown.size() && (lastOther == noLine || lastOther < span.last);
            partEnd = k;
            // Two typos side by side can show one offset where the range
            // then goes on as before: the part after them is the part
            // before, going on.
            if (!first && partTold && between <= typosSideBySide) {
                spans.back().last = span.last;
                spans.back().toTheEnd = span.toTheEnd;
                continue;
            }
            // A later part of one line may be a typo that shows the offset
            // by chance.
            partTold = first || own >= 2;
            if (partTold)
                spans.push_back(span);
        }
    }
    return spans;
}

// A line at its range's offset outside every span of the range is not
// one that the words of its range name.
void markApart(const std::vector<Span>& spans, const Alignment& alignment, const std::vector<std::uint32_t>& wrong,
               std::vector<PositionNeeds>& needs)
{
    for (std::size_t i = 0; i < needs.size(); ++i) {
        PositionNeeds& need = needs[i];
        if (!need.aligned || need.line.range == noLine)
            continue;
        std::size_t range = need.line.range;
        std::uint32_t line = alignment.lineOf[wrong[i]];
        auto span = std::lower_bound(spans.begin(), spans.end(), line, [&](const Span& s, std::uint32_t l) {
            return s.range < range || (s.range == range && s.last < l && !s.toTheEnd);
        });
        need.offsetApart = span == spans.end() || span->range != range || line < std::min(span->earliest, span->first);
    }
}

// The address the file gives each reference line, as a number in the
// model's base, where one line holds it and its address reads; read only
// once a line asks for its neighbours', which few files' lines do.
class AddressesWritten {
public:
    AddressesWritten(const ReferenceIndex& reference, const KeptLines& kept, const Alignment& alignment,
                     unsigned base)
        : reference_(reference), kept_(kept), alignment_(alignment), base_(base)
    {
    }

    static constexpr std::uint64_t none = UINT64_MAX;

    std::uint64_t at(std::uint32_t line)
    {
        if (values_.empty())
            readAll();
        return line < values_.size() ? values_[line] : none;
    }

private:
    void readAll()
    {
        values_.assign(reference_.symbols.size(), none);
        std::vector<bool> twice(values_.size(), false);
        for (std::size_t p = 0; p < alignment_.lineOf.size(); ++p) {
            std::uint32_t r = alignment_.lineOf[p];
            if (r == noLine || reference_.hasValue[r] == 0)
                continue;
            ReadAddress read;
            bool reads = kept_.lines[p].right
                             ? (read.value = reference_.values[r], true)
                             : readAddress(readFields(reference_, kept_, alignment_, p).address, base_, read);
            twice[r] = twice[r] || values_[r] != none;
            values_[r] = reads && !twice[r] ? read.value : none;
        }
    }

    const ReferenceIndex& reference_;
    const KeptLines& kept_;
    const Alignment& alignment_;
    unsigned base_;
    std::vector<std::uint64_t> values_;
};

// A wrong line whose label is right and whose address, explained by
// nothing else, is the one the file gives a line beside it, where the
// reference's two differ and the reference's own value lies behind its
// addresses so far: an EQU given the location counter.  It is explained
// so, as the student's file shows it.  Where the reference's value lies in
// order, a typo in the last digit lands on a neighbour's address as often.
bool holdsNeighbours(const ReferenceIndex& reference, AddressesWritten& written, std::uint32_t line,
                     LineNeeds& needs, unsigned base)
{
    if (needs.explained || !needs.readable || !needs.labelRight || needs.range != noLine ||
        reference.behind[line] == 0)
        return false;
    std::uint64_t value = reference.values[line] + needs.offset;
    for (std::uint32_t beside : {line - 1, line + 1}) {
        if (beside >= reference.symbols.size() || written.at(beside) != value || reference.hasValue[beside] == 0 ||
            reference.values[beside] == reference.values[line])
            continue;
        needs.neighbour = true;
        needs.explained = true;
        needs.decimal = base == 10 && value >= 10;
        return true;
    }
    return false;
}

// The causes told, as flags the positions are checked against: patterns by
// cause, but an offset by range.
struct Told {
    CauseBits patterns = 0;  // never the offset's bit
    // Offsets in too many ranges to tell: told as one, whatever the other
    // patterns explain.
    bool scattered = false;
    std::vector<bool> ranges;
    std::vector<bool> events;

    bool hasOffsetOf(const PositionNeeds& needs) const
    {
        return (needs.patterns & offsetBit) != 0 && ranges[needs.line.range] && !needs.offsetApart;
    }
    bool explains(const PositionNeeds& needs) const
    {
        if ((needs.event != noLine && !events[needs.event]) || needs.bytes)
            return false;
        if (needs.added)
            return true;
        if (!needs.aligned || !needs.line.explained)
            return false;
        bool offsetTold = (needs.patterns & offsetBit) == 0 || hasOffsetOf(needs);
        return (needs.patterns & ~offsetBit & ~patterns) == 0 && offsetTold;
    }
    bool anyOf(const PositionNeeds& needs) const
    {
        if (needs.event != noLine && events[needs.event])
            return true;
        return needs.aligned && ((needs.patterns & patterns) != 0 || hasOffsetOf(needs));
    }
    void clearPatterns()
    {
        patterns = 0;
        std::fill(ranges.begin(), ranges.end(), false);
    }
};

bool lessIgnoringCase(std::string_view a, std::string_view b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return lowerAscii(x) < lowerAscii(y); });
}

// The order of a file too reordered to tell slip by slip, from the
// reference lines its lines hold, in its order.
LineOrder orderOf(const ReferenceIndex& reference, const std::vector<std::uint32_t>& held)
{
    bool reverse = true;
    bool byLabel = true;
    bool byFoldedLabel = true;
    for (std::size_t i = 1; i < held.size(); ++i) {
        std::string_view before = reference.symbols[held[i - 1]].label;
        std::string_view after = reference.symbols[held[i]].label;
        reverse = reverse && held[i - 1] >= held[i];
        byLabel = byLabel && before <= after;
        byFoldedLabel = byFoldedLabel && !lessIgnoringCase(after, before);
    }
    return reverse ? LineOrder::reverse : byLabel || byFoldedLabel ? LineOrder::byLabel : LineOrder::noneFound;
}

// The reference line each of a file's lines holds where its label says so:
// a line of no reference line's is held by the one whose place it takes,
// which says nothing of the file's order.
std::vector<std::uint32_t> labelsHeld(const ReferenceIndex& reference, const KeptLines& kept, const Alignment& alignment)
{
    std::vector<std::uint32_t> lineOf = alignment.lineOf;
    for (std::size_t p = 0; p < lineOf.size(); ++p) {
        bool cut = false;
        if (lineOf[p] != noLine && !kept.lines[p].right &&
            labelRelation(readFields(reference, kept, alignment, p).label, reference.symbols[lineOf[p]].label,
                          alignment.cutTo, cut) < 0)
            lineOf[p] = noLine;
    }
    return lineOf;
}

// The reference lines held, each once, in the file's order.
std::vector<std::uint32_t> heldLines(const std::vector<std::uint32_t>& lineOf, std::size_t referenceLines)
{
    std::vector<std::uint32_t> held;
    std::vector<bool> seen(referenceLines, false);
    for (std::uint32_t r : lineOf)
        if (r != noLine && !seen[r]) {
            seen[r] = true;
            held.push_back(r);
        }
    return held;
}

// Inside a reordered file, a line left out or printed twice is told as it
// is: where it stands says nothing.  A line whose label a typo hides is
// held by none, and so a line is told left out only where the file is
// that many lines short.
// `lineOf` is the reference line each line holds by its label, and
// `order` the order they are in.
void tellReordered(const ReferenceIndex& reference, const std::vector<std::uint32_t>& lineOf, LineOrder order,
                   const LineCounts& counts, std::size_t slips, std::vector<Diagnosis>& causes)
{
    std::vector<std::uint32_t> copies(reference.symbols.size(), 0);
    for (std::uint32_t r : lineOf)
        if (r != noLine)
            ++copies[r];
    Diagnosis reordered{Cause::movedLine, 0, false, lineCount(slips), 0};
    reordered.order = order;
    causes.push_back(reordered);
    std::uint64_t twice = 0;
    for (std::uint32_t r = 0; r < copies.size(); ++r)
        if (copies[r] > 1) {
            twice += copies[r] - 1;
            Diagnosis doubled{Cause::shiftedLines, 0, false, -1, r + 1};
            doubled.order = order;
            causes.push_back(doubled);
        }
    std::uint64_t unheld = static_cast<std::uint64_t>(std::count(copies.begin(), copies.end(), 0u));
    if (unheld == 0 || counts.reference + twice != counts.student + unheld)
        return;
    for (std::uint32_t r = 0; r < copies.size();) {
        if (copies[r] != 0) {
            ++r;
            continue;
        }
        std::uint32_t end = r;
        while (end < copies.size() && copies[end] == 0)
            ++end;
        Diagnosis leftOut{Cause::shiftedLines, 0, false, lineCount(end - r), r + 1};
        leftOut.order = order;
        causes.push_back(leftOut);
        r = end;
    }
}

// A file whose lines lie in an order of their own (by label, or the
// reference's reversed) with two lines or more out of the reference's is
// told in that order, not slip by slip: lines added among sorted lines
// stand wherever their labels sort, and no slip names them.
bool mayBeSorted(const Structure& structure)
{
    constexpr std::size_t leastMoved = 2;
    auto moved = std::count_if(structure.events.begin(), structure.events.end(),
                               [](const LineEvent& event) { return event.kind == EventKind::moved; });
    return static_cast<std::size_t>(moved) >= leastMoved;
}

void tellEvents(const Structure& structure, const Told& told, std::vector<Diagnosis>& causes)
{
    for (std::size_t e = 0; e < structure.events.size(); ++e) {
        if (!told.events[e])
            continue;
        const LineEvent& event = structure.events[e];
        Diagnosis diagnosis;
        if (event.kind == EventKind::moved) {
            diagnosis.cause = Cause::movedLine;
            diagnosis.value = event.line + 1;
            diagnosis.from = event.after == noLine ? 0 : event.after + 1;
            diagnosis.to = event.after == noLine && event.before != noLine ? event.before + 1 : 0;
        } else if (event.atEnd) {
            diagnosis.cause = Cause::lastLinesLeftOut;
            diagnosis.amount = lineCount(event.size);
        } else {
            bool leftOut = event.kind == EventKind::leftOut;
            diagnosis.cause = Cause::shiftedLines;
            diagnosis.amount = leftOut ? lineCount(event.size) : -lineCount(event.size);
            std::uint32_t line = leftOut ? event.line : event.before;
            diagnosis.value = line == noLine ? 0 : line + 1;
        }
        causes.push_back(diagnosis);
    }
}

// Told as the student's addresses lie, above or below; 2^63 either way is
// told as above.
bool below(std::uint64_t delta)
{
    return delta > (UINT64_MAX >> 1) + 1;
}

// An offset that grows: the offset it starts at, where each step is and
// what it grows to.
void tellGrowing(const Support& support, const Told& told, const AddressModel& model, std::vector<Diagnosis>& causes)
{
    if (std::find(told.ranges.begin(), told.ranges.end(), true) == told.ranges.end())
        return;
    std::uint64_t lines = 0;
    for (std::uint64_t held : support.ranges)
        lines += held;
    std::uint64_t last = model.ranges.back().delta;
    Diagnosis offset{Cause::addressOffset, 0, below(last), lineCount(lines), below(last) ? 0 - last : last};
    offset.from = model.ranges.front().from + 1;
    for (const OffsetRange& range : model.ranges)
        offset.steps.push_back(OffsetStep{range.from + 1, range.delta});
    for (const LineOffset& read : support.read)
        if (read.line >= model.ranges.front().from && read.offset != 0 &&
            read.offset != model.ranges[model.rangeOf(read.line)].delta)
            offset.besides.push_back(read.line + 1);
    causes.push_back(std::move(offset));
}

// The wrong lines within a span: how many show its offset, and those whose
// addresses lie at another offset, nor the reference's.  A lone line there
// may be a typo, or an EQU of a difference that a mistake moved otherwise,
// and the range is told as holding on every line but those.
struct SpanLines {
    std::uint64_t showing = 0;
    RareVector<std::uint32_t> besides;
};

SpanLines linesWithin(const std::vector<LineOffset>& read, const Span& span, std::uint64_t delta, std::uint32_t to)
{
    SpanLines lines;
    auto at = std::lower_bound(read.begin(), read.end(), span.first,
                               [](const LineOffset& a, std::uint32_t line) { return a.line < line; });
    for (; at != read.end() && (to == 0 || at->line < to); ++at)
        if (at->offset == delta)
            lines.showing += at->compared ? 1 : 0;
        else if (at->offset != 0)
            lines.besides.push_back(at->line + 1);
    return lines;
}

void tellOffsets(const Support& support, const Told& told, const AddressModel& model, std::uint64_t referenceLines,
                 std::vector<Diagnosis>& causes)
{
    if (told.scattered) {
        std::uint64_t lines = support.lines[indexOf(Cause::addressOffset)];
        causes.push_back(Diagnosis{Cause::addressOffset, 0, false, lineCount(lines), 0});
    }
    if (model.grows) {
        tellGrowing(support, told, model, causes);
        return;
    }
    for (const Span& span : support.spans) {
        if (!told.ranges[span.range])
            continue;
        std::uint64_t delta = model.ranges[span.range].delta;
        std::uint32_t to = span.toTheEnd || span.last + 1 >= referenceLines ? 0 : span.last + 1;
        SpanLines lines = linesWithin(support.read, span, delta, to);
        if (lines.showing == 0)
            continue;
        bool negative = below(delta);
        Diagnosis offset{Cause::addressOffset, 0, negative, lineCount(lines.showing), negative ? 0 - delta : delta};
        offset.from = span.first + 1;
        offset.since = span.earliest + 1;
        offset.to = to;
        offset.besides = std::move(lines.besides);
        causes.push_back(std::move(offset));
    }
}

void tellPatterns(const Support& support, const Told& told, const AddressModel& model, std::uint32_t cutTo,
                  std::uint64_t referenceLines, std::vector<Diagnosis>& causes)
{
    for (const CauseKindRow& row : patternRows) {
        if (row.cause == Cause::addressOffset) {
            tellOffsets(support, told, model, referenceLines, causes);
            continue;
        }
        if ((told.patterns & bitOf(row.cause)) == 0)
            continue;
        Diagnosis pattern{row.cause, 0, false, lineCount(support.lines[indexOf(row.cause)])};
        if (row.cause == Cause::addressForm)
            pattern.forms = support.formBits;
        if (row.cause == Cause::cutLabels)
            pattern.value = cutTo;
        if (row.cause == Cause::neighbourAddress) {
            std::vector<std::uint32_t> lines(support.neighbours.begin(), support.neighbours.end());
            std::sort(lines.begin(), lines.end());
            for (std::uint32_t line : lines)
                pattern.besides.push_back(line);
        }
        causes.push_back(pattern);
    }
}

}  // namespace

Explanation explainLines(const ReferenceIndex& reference, const KeptLines& kept, const LineCounts& counts,
                         BytesTold bytesTold, std::vector<LineReading>* readings)
{
    Explanation explanation;
    if (readings != nullptr)
        readings->clear();
    bool keepReadings = readings != nullptr;
    if (!kept.usable())
        return explanation;
    Alignment alignment = alignLines(reference, kept);
    AddressModel model = addressModel(reference, kept, alignment);
    alignByAddress(alignment, reference, kept, [&](std::string_view address, std::int64_t near) {
        return model.lineFor(reference, address, near);
    });
    fillBetween(alignment, reference, kept, true);
    Structure structure = structureOf(alignment, kept, counts.reference, counts.student);
    explanation.base = model.base;
    auto keepReading = [&](std::size_t p, std::uint32_t r, const LineNeeds& l) {
        // A line whose label is not its line's (a typo the alignment saw
        // past) says less of its address than of its label.
        if (keepReadings && l.labelRight && (l.readable || l.shows != noLine))
            readings->push_back(
                LineReading{static_cast<std::uint32_t>(p), r, l.readable ? l.offset : 0});
    };

    std::vector<std::uint32_t> wrong;
    std::vector<PositionNeeds> needs;
    Support support;
    AddressesWritten written(reference, kept, alignment, model.base);
    support.ranges.assign(model.ranges.size(), 0);
    // A right line shows the reference's own address: its range's offset
    // where that is 0, else an offset 0 that no range has.
    std::vector<Shown> shown;
    std::vector<LineOffset> otherOffsets;
    for (std::size_t p = 0; p < kept.compared; ++p) {
        const KeptLine& line = kept.lines[p];
        // (Read in decimal, a right line's address says nothing.)
        if (line.right && reference.hasValue[p] != 0 && model.base == 16) {
            auto r = static_cast<std::uint32_t>(p);
            std::size_t home = model.rangeOf(r);
            if (model.ranges[home].delta == 0)
                shown.push_back(Shown{r, static_cast<std::uint32_t>(home)});
            else
                otherOffsets.push_back(LineOffset{r, 0});
        }
        if (line.right || !isComplete(reference.symbols[p]))
            continue;
        explanation.crCosts = explanation.crCosts || line.crCosts;
        explanation.bomCosts = explanation.bomCosts || line.bomCosts;
        PositionNeeds need;
        need.bytes = (line.crCosts && !bytesTold.crlf) || (line.bomCosts && !bytesTold.bom);
        need.event = structure.eventOf[p];
        need.added = structure.added[p];
        std::uint32_t r = alignment.lineOf[p];
        need.aligned = r != noLine && !need.added;
        if (need.aligned) {
            need.line = needsOf(reference, model, alignment, r, readFields(reference, kept, alignment, p));
            need.line.swapped = readsSwapped(alignment, p);
            if (holdsNeighbours(reference, written, r, need.line, model.base)) {
                support.neighbours.push_back(r + 1);
                std::uint64_t value = reference.values[r];
                support.farNeighbours += digitsDiffering(value, value + need.line.offset, model.base, 2) > 1 ? 1 : 0;
            }
            const LineNeeds& l = need.line;
            for (const CauseKindRow& row : patternRows)
                if (row.needed(l)) {
                    need.patterns |= bitOf(row.cause);
                    ++support.lines[indexOf(row.cause)];
                }
            bool patterned = need.patterns != 0;
            if (l.explained && !patterned && need.event == noLine && !line.crCosts && !line.bomCosts)
                need.line.explained = false;  // wrong for no reason that can be named
            if (l.explained)
                support.formBits |= l.forms;
            if (l.range != noLine)
                ++support.ranges[l.range];
            if (l.readable)
                support.read.push_back(LineOffset{r, l.offset});
            if (l.shows != noLine)
                shown.push_back(Shown{r, l.shows});
            else if (l.readable)
                otherOffsets.push_back(LineOffset{r, l.offset});
            need.patterned = patterned || !l.explained;
            keepReading(p, r, l);
        } else if (keepReadings && r != noLine) {
            // A line added beside its own still gives its address.
            keepReading(p, r, needsOf(reference, model, alignment, r, readFields(reference, kept, alignment, p)));
        }
        need.patterned = need.patterned || need.event != noLine || !need.aligned;
        wrong.push_back(static_cast<std::uint32_t>(p));
        needs.push_back(need);
    }

    // Lines past the reference's end cost no points of their own, but where
    // lines were added they hold the reference's last lines, whose offsets
    // bound a range as any other's do.
    for (std::size_t p = kept.compared; p < kept.lines.size(); ++p) {
        std::uint32_t r = alignment.lineOf[p];
        if (r == noLine || reference.hasValue[r] == 0 || !kept.lines[p].complete())
            continue;
        LineNeeds l = needsOf(reference, model, alignment, r, readFields(reference, kept, alignment, p));
        keepReading(p, r, l);
        if (l.readable && l.offset != 0)
            support.read.push_back(LineOffset{r, l.offset, false});
        if (l.shows != noLine)
            shown.push_back(Shown{r, l.shows});
        else if (l.readable)
            otherOffsets.push_back(LineOffset{r, l.offset});
    }

    std::uint32_t lastOther = noLine;
    for (const LineOffset& other : otherOffsets)
        lastOther = lastOther == noLine ? other.line : std::max(lastOther, other.line);
    addRepeatedOffsets(otherOffsets, model.ranges.size(), shown);
    support.spans = spansOf(std::move(shown), model, lastOther);
    markApart(support.spans, alignment, wrong, needs);
    std::sort(support.read.begin(), support.read.end(),
              [](const LineOffset& a, const LineOffset& b) { return a.line < b.line; });

    Told told;
    for (const CauseKindRow& row : patternRows)
        if (row.cause != Cause::addressOffset && (support.lines[indexOf(row.cause)] >= leastEvidence ||
                                                  (row.cause == Cause::neighbourAddress && support.farNeighbours > 0)))
            told.patterns |= bitOf(row.cause);
    // A form is told by the forms it names, which only the lines it explains show.
    if (support.formBits == 0)
        told.patterns &= ~bitOf(Cause::addressForm);
    for (std::uint64_t lines : support.ranges)
        told.ranges.push_back(lines >= leastEvidence);
    if (model.grows) {
        // One mistake at each step: told whole, or not at all.
        std::uint64_t lines = 0;
        for (std::uint64_t held : support.ranges)
            lines += held;
        for (std::size_t r = 0; r < told.ranges.size(); ++r)
            told.ranges[r] = lines >= leastEvidence && model.ranges[r].delta != 0;
    } else if (static_cast<std::size_t>(std::count(told.ranges.begin(), told.ranges.end(), true)) > mostRangesTold) {
        std::fill(told.ranges.begin(), told.ranges.end(), false);
        told.scattered = true;
    }
    for (const LineEvent& event : structure.events)
        // A line out of order or left out at the end is a fact once the
        // lines are aligned, whatever points it cost.
        told.events.push_back(event.points >= leastEvidence || event.atEnd || event.kind == EventKind::moved);
    // The patterns and slips told must explain most of what the bytes
    // alone do not, or the patterns are not told: a pattern found among
    // many wrong lines that nothing explains may be typos that happen to
    // agree.  A slip is a fact of the alignment, and stands.
    std::uint64_t patterned = 0;
    std::uint64_t explainedByThem = 0;
    for (const PositionNeeds& need : needs) {
        patterned += need.patterned ? 1 : 0;
        explainedByThem += need.patterned && told.anyOf(need) ? 1 : 0;
    }
    if (patterned > 0 && 2 * explainedByThem <= patterned) {
        // But typos do not agree on one offset over lines enough: such a
        // range is a mistake's however much else is wrong beside it; nor
        // does a typo land a far address on a neighbour's, nor write
        // addresses in decimal that read as the reference's.
        std::vector<bool> ranges = told.ranges;
        CauseBits kept = told.patterns & ((support.farNeighbours > 0 ? bitOf(Cause::neighbourAddress) : 0) |
                                          bitOf(Cause::decimalAddresses));
        told.clearPatterns();
        told.patterns = kept;
        for (std::size_t r = 0; r < ranges.size() && !model.grows && !told.scattered; ++r)
            told.ranges[r] = ranges[r] && model.ranges[r].delta != 0 && support.ranges[r] >= rangeLinesAlone;
    }
    auto slips = static_cast<std::size_t>(std::count(told.events.begin(), told.events.end(), true));
    // Lines left out or added, however many, leave the rest in order.
    bool moved = mayBeSorted(structure);
    bool reordered = slips > mostSlipsTold && moved;
    std::vector<std::uint32_t> byLabel;
    LineOrder order = LineOrder::reference;
    if (moved) {
        byLabel = labelsHeld(reference, kept, alignment);
        order = orderOf(reference, heldLines(byLabel, reference.symbols.size()));
        reordered = reordered || order == LineOrder::byLabel || order == LineOrder::reverse;
    }
    if (reordered)
        tellReordered(reference, byLabel, order, counts, slips, explanation.causes);
    else
        tellEvents(structure, told, explanation.causes);
    tellPatterns(support, told, model, alignment.cutTo, counts.reference, explanation.causes);
    std::stable_sort(explanation.causes.begin(), explanation.causes.end(),
                     [](const Diagnosis& a, const Diagnosis& b) { return a.cause < b.cause; });

    for (std::size_t i = 0; i < wrong.size(); ++i) {
        const PositionNeeds& need = needs[i];
        if (told.explains(need))
            continue;
        std::uint32_t p = wrong[i];
        std::uint32_t r = alignment.lineOf[p];
        bool aligned = need.aligned && r != noLine;
        explanation.unexplained.push_back(UnexplainedLine{aligned ? r : p, aligned, kept.lines[p].hash, p});
    }
    return explanation;
}

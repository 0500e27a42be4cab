#include "class/explaining/structure.h"

#include <algorithm>
#include <map>

namespace {

// Positions in the longest run of lines in the reference's order (strictly
// rising reference lines), the earliest such run where there are several.
std::vector<bool> longestRising(const std::vector<std::uint32_t>& lineOf)
{
    std::vector<std::size_t> tails;  // per run length, the position ending the best run of that length
    std::vector<std::size_t> previous(lineOf.size(), SIZE_MAX);
    for (std::size_t p = 0; p < lineOf.size(); ++p) {
        if (lineOf[p] == noLine)
            continue;
        auto at = std::lower_bound(tails.begin(), tails.end(), lineOf[p],
                                   [&](std::size_t tail, std::uint32_t line) { return lineOf[tail] < line; });
        if (at != tails.begin())
            previous[p] = *(at - 1);
        if (at == tails.end())
            tails.push_back(p);
        else
            *at = p;
    }
    std::vector<bool> in(lineOf.size(), false);
    for (std::size_t p = tails.empty() ? SIZE_MAX : tails.back(); p != SIZE_MAX; p = previous[p])
        in[p] = true;
    return in;
}

bool solid(const std::vector<std::uint32_t>& lineOf)
{
    auto aligned = static_cast<std::size_t>(std::count_if(lineOf.begin(), lineOf.end(), [](std::uint32_t line) {
        return line != noLine;
    }));
    return aligned >= 2 && 2 * aligned >= lineOf.size();
}

struct Walk {
    const std::vector<std::uint32_t>& lineOf;
    const KeptLines& kept;
    std::vector<bool> inRun;
    std::vector<std::uint8_t> held;       // per reference line: 0 nowhere, 1 in the run, 2 out of place
    std::map<std::uint32_t, std::size_t> movedEvent;  // reference line -> event
    Structure structure;
    std::size_t last = noLine;  // the event that last changed where lines stand

    std::size_t add(const LineEvent& event)
    {
        structure.events.push_back(event);
        return structure.events.size() - 1;
    }

    // A wrong line that `event` explains; `displaced`: a line of the run
    // that it put out of place, the first of which is where it shows.
    void markWrong(std::size_t p, std::size_t event, bool displaced)
    {
        if (event == noLine || p >= kept.compared || kept.lines[p].right)
            return;
        structure.eventOf[p] = static_cast<std::uint32_t>(event);
        LineEvent& told = structure.events[event];
        ++told.points;
        if (displaced && told.from == noLine)
            told.from = static_cast<std::uint32_t>(p);
    }

    // Reference lines skipped between two lines of the run.
    void skipped(std::uint32_t from, std::uint32_t to)
    {
        for (std::uint32_t r = from; r < to; ++r) {
            if (held[r] == 2) {
                last = movedEvent[r];
                continue;
            }
            LineEvent* open = last == noLine ? nullptr : &structure.events[last];
            if (open != nullptr && open->kind == EventKind::leftOut && open->line + open->size == r && open->from == noLine)
                ++open->size;
            else
                last = add(LineEvent{EventKind::leftOut, r});
        }
    }
};

}  // namespace

Structure structureOf(const Alignment& alignment, const KeptLines& kept, std::uint64_t referenceLines,
                      std::uint64_t studentLines)
{
    const std::vector<std::uint32_t>& lineOf = alignment.lineOf;
    Walk walk{lineOf, kept, longestRising(lineOf), std::vector<std::uint8_t>(referenceLines, 0), {}, {}, noLine};
    walk.structure.eventOf.assign(lineOf.size(), noLine);
    walk.structure.added.assign(lineOf.size(), false);
    if (!solid(lineOf))
        return walk.structure;
    // Which lines are out of place: held off the run, and held nowhere in it.
    std::vector<bool> moved(lineOf.size(), false);
    for (std::size_t p = 0; p < lineOf.size(); ++p)
        if (lineOf[p] != noLine && walk.inRun[p])
            walk.held[lineOf[p]] = 1;
    std::uint32_t previousLine = noLine;
    for (std::size_t p = 0; p < lineOf.size(); ++p) {
        std::uint32_t r = lineOf[p];
        if (r != noLine && !walk.inRun[p] && walk.held[r] == 0) {
            walk.held[r] = 2;
            moved[p] = true;
            LineEvent event{EventKind::moved, r};
            // Told beside the line right beside it in the file: past a line
            // of no reference line's (a typo's, a header), the last line
            // known before it is not the line it follows.
            bool followsKnown = p > 0 && lineOf[p - 1] != noLine;
            bool precedesKnown = p + 1 < lineOf.size() && lineOf[p + 1] != noLine;
            event.after = followsKnown || !precedesKnown ? previousLine : noLine;
            for (std::size_t q = p + 1; q < lineOf.size() && event.after == noLine; ++q)
                if (lineOf[q] != noLine) {
                    event.before = lineOf[q];
                    break;
                }
            walk.movedEvent[r] = walk.add(event);
        }
        if (r != noLine)
            previousLine = r;
    }
    std::uint32_t nextInRun = 0;
    for (std::size_t p = 0; p < lineOf.size(); ++p) {
        std::uint32_t r = lineOf[p];
        if (moved[p]) {
            // Lines added right before a line out of place stand before it,
            // not at the end, which no later line of the run tells them.
            LineEvent* open = walk.last == noLine ? nullptr : &walk.structure.events[walk.last];
            if (open != nullptr && open->kind == EventKind::added && open->before == noLine)
                open->before = r;
            walk.last = walk.movedEvent[r];
            walk.markWrong(p, walk.last, false);
        } else if (r == noLine || !walk.inRun[p]) {
            // A line that is no reference line's, or a second copy of one.
            walk.structure.added[p] = true;
            LineEvent* open = walk.last == noLine ? nullptr : &walk.structure.events[walk.last];
            if (open != nullptr && open->kind == EventKind::added && open->line + open->size == p && open->from == noLine)
                ++open->size;
            else
                walk.last = walk.add(LineEvent{EventKind::added, static_cast<std::uint32_t>(p)});
            walk.markWrong(p, walk.last, false);
        } else {
            LineEvent* open = walk.last == noLine ? nullptr : &walk.structure.events[walk.last];
            if (open != nullptr && open->kind == EventKind::added && open->before == noLine)
                open->before = r;
            walk.skipped(nextInRun, r);
            nextInRun = r + 1;
            if (r != p)
                walk.markWrong(p, walk.last, true);
        }
    }
    // Lines the reference ends with that the student's lines do not hold:
    // left out, unless some of the student's lines were not kept.
    if (kept.wholeTail) {
        std::size_t before = walk.structure.events.size();
        walk.last = noLine;
        walk.skipped(nextInRun, static_cast<std::uint32_t>(referenceLines));
        for (std::size_t e = before; e < walk.structure.events.size(); ++e)
            walk.structure.events[e].atEnd = walk.structure.events[e].line + walk.structure.events[e].size == referenceLines;
    }
    // The points the line counts lose are the events' that changed them.
    std::uint64_t missing = referenceLines > studentLines ? referenceLines - studentLines : 0;
    std::uint64_t extra = studentLines > referenceLines ? studentLines - referenceLines : 0;
    for (LineEvent& event : walk.structure.events) {
        std::uint64_t& left = event.kind == EventKind::leftOut ? missing : extra;
        if (event.kind == EventKind::moved)
            continue;
        std::uint64_t taken = std::min<std::uint64_t>(left, event.size);
        event.points += taken;
        left -= taken;
    }
    return walk.structure;
}

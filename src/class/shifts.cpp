#include "shifts.h"

#include "grading/line_walk.h"

#include <algorithm>

namespace {

// A shift is named once it holds for this many lines, of which as many
// were wrong where they stood: one slip that cost the points after it.
constexpr std::uint64_t shiftEvidence = 2;

bool sameSymbol(const Symbol& a, const Symbol& b)
{
    return isComplete(a) && isComplete(b) && a.address == b.address && a.label == b.label;
}

}  // namespace

ReferenceIndex indexReference(std::string_view text)
{
    ReferenceIndex index;
    while (!text.empty())
        index.symbols.push_back(splitEntry(nextLine(text)));
    auto count = static_cast<std::int64_t>(index.symbols.size());
    index.sameAsNeighbour.assign(index.symbols.size(), 0);
    for (std::int64_t line = 0; line < count; ++line)
        for (int k = 0; k < 4; ++k) {
            std::int64_t other = line + shiftsLookedFor[k];
            if (other >= 0 && other < count &&
                sameSymbol(index.symbols[static_cast<std::size_t>(line)], index.symbols[static_cast<std::size_t>(other)]))
                index.sameAsNeighbour[static_cast<std::size_t>(line)] |= static_cast<std::uint8_t>(1u << k);
        }
    return index;
}

void ShiftWatch::add(const ReferenceIndex& reference, const Verdict& verdict)
{
    const std::vector<Symbol>& symbols = reference.symbols;
    std::uint64_t position = verdict.position;
    bool right = verdict.right();
    for (int k = 0; k < 4; ++k) {
        auto other = static_cast<std::int64_t>(position) + shiftsLookedFor[k];
        if (other < 0 || other >= static_cast<std::int64_t>(symbols.size()))
            continue;
        bool same = right ? (reference.sameAsNeighbour[position] >> k & 1) != 0
                          : sameSymbol(verdict.student, symbols[static_cast<std::size_t>(other)]);
        Run& run = runs_[k];
        if (!same) {
            run = Run{position + 1, 0, 0};
            continue;
        }
        ++run.defined;
        if (!right)
            ++run.wrong;
    }
}

void ShiftWatch::diagnose(std::vector<Diagnosis>& found) const
{
    const Run* best = nullptr;
    int bestShift = 0;
    for (int k : {1, 2, 0, 3}) {  // one line before two, when both runs start alike
        const Run& run = runs_[k];
        if (run.defined >= shiftEvidence && run.wrong >= shiftEvidence && (best == nullptr || run.start < best->start)) {
            best = &run;
            bestShift = shiftsLookedFor[k];
        }
    }
    if (best == nullptr)
        return;
    std::uint64_t first = std::max<std::uint64_t>(best->start, bestShift < 0 ? static_cast<std::uint64_t>(-bestShift) : 0);
    found.push_back(Diagnosis{Cause::shiftedLines, 0, false, bestShift, first + 1});
}

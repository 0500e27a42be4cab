#include "class/explaining/tally.h"

#include <algorithm>

namespace {

constexpr std::size_t firstSlots = 1024;

std::size_t slotOf(std::uint32_t place, std::uint64_t hash, std::size_t mask)
{
    return static_cast<std::size_t>((hash ^ std::uint64_t{place} * 0x9E3779B97F4A7C15u) >> 7) & mask;
}

// A k-way merge of sorted sequences, one per tally, calling `each` with the
// run of equal items from all of them.
template <typename Item, typename Items, typename Equal, typename Each>
void mergeRuns(std::vector<Tally>& tallies, Items items, Equal equal, Each each)
{
    std::vector<std::size_t> next(tallies.size(), 0);
    auto first = [&] {
        std::size_t best = tallies.size();
        for (std::size_t i = 0; i < tallies.size(); ++i)
            if (next[i] < items(tallies[i]).size() &&
                (best == tallies.size() || items(tallies[i])[next[i]] < items(tallies[best])[next[best]]))
                best = i;
        return best;
    };
    std::vector<std::pair<std::size_t, const Item*>> run;
    for (std::size_t at = first(); at < tallies.size();) {
        Item key = items(tallies[at])[next[at]];
        run.clear();
        while (at < tallies.size() && equal(items(tallies[at])[next[at]], key)) {
            run.emplace_back(at, &items(tallies[at])[next[at]]);
            ++next[at];
            at = first();
        }
        each(key, run);
    }
}

}  // namespace

MarkPlaces::MarkPlaces(const std::vector<std::uint64_t>& lineCounts)
{
    std::uint64_t next = 0;
    firsts_.push_back(0);
    for (std::uint64_t lines : lineCounts) {
        if (next + lines + 1 > UINT32_MAX)
            break;
        next += lines + 1;
        firsts_.push_back(static_cast<std::uint32_t>(next));
    }
}

std::uint32_t MarkPlaces::testOf(std::uint32_t place) const
{
    auto after = std::upper_bound(firsts_.begin(), firsts_.end(), place);
    return static_cast<std::uint32_t>(after - firsts_.begin() - 1);
}

Place MarkPlaces::placeOf(std::uint32_t place) const
{
    Place decoded;
    decoded.test = testOf(place);
    decoded.causes = place == causesOf(decoded.test);
    decoded.line = decoded.causes ? 0 : place - firsts_[decoded.test];
    return decoded;
}

std::uint32_t WrongLines::add(std::uint32_t place, std::uint64_t hash, std::string_view text)
{
    if (2 * (lines.size() + 1) > slots_.size())
        grow();
    std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = slotOf(place, hash, mask);; slot = (slot + 1) & mask) {
        std::uint32_t held = slots_[slot];
        if (held == 0) {
            slots_[slot] = static_cast<std::uint32_t>(lines.size() + 1);
            lines.push_back(WrongLine{hash, place, 1, static_cast<std::uint32_t>(texts.size()),
                                      static_cast<std::uint32_t>(text.size())});
            texts.append(text);
            return static_cast<std::uint32_t>(lines.size() - 1);
        }
        WrongLine& line = lines[held - 1];
        if (line.place == place && line.hash == hash) {
            ++line.count;
            return held - 1;
        }
    }
}

void WrongLines::grow()
{
    std::size_t size = std::max(firstSlots, 2 * slots_.size());
    slots_.assign(size, 0);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::size_t slot = slotOf(lines[i].place, lines[i].hash, size - 1);
        while (slots_[slot] != 0)
            slot = (slot + 1) & (size - 1);
        slots_[slot] = static_cast<std::uint32_t>(i + 1);
    }
}

void WrongLines::sort()
{
    slots_ = std::vector<std::uint32_t>();
    std::sort(lines.begin(), lines.end());
}

void forEachGroup(std::vector<Tally>& tallies,
                  const std::function<void(const Mark& mark, std::span<const std::uint32_t> students)>& group)
{
    // A merge of the sorted tallies, rather than one sorted copy of all
    // marks: a large class's marks are much of the memory the run holds.
    for (Tally& tally : tallies)
        if (!std::is_sorted(tally.marks.begin(), tally.marks.end()))
            std::sort(tally.marks.begin(), tally.marks.end());
    std::vector<std::uint32_t> students;
    mergeRuns<Mark>(
        tallies, [](Tally& tally) -> std::deque<Mark>& { return tally.marks; },
        [](const Mark& a, const Mark& b) { return a.key() == b.key(); },
        [&](const Mark& key, const std::vector<std::pair<std::size_t, const Mark*>>& run) {
            // Marks order by student within a key, and the merge keeps that
            // order: a student's marks come together, in order.
            students.clear();
            for (const auto& [tally, mark] : run)
                if (students.empty() || students.back() != mark->student)
                    students.push_back(mark->student);
            group(key, students);
        });
}

void forEachWrongLine(std::vector<Tally>& tallies,
                      const std::function<void(std::uint32_t place, std::uint64_t count, std::string_view text)>& line)
{
    for (Tally& tally : tallies)
        if (!std::is_sorted(tally.wrongLines.lines.begin(), tally.wrongLines.lines.end()))
            tally.wrongLines.sort();
    mergeRuns<WrongLine>(
        tallies, [](Tally& tally) -> std::vector<WrongLine>& { return tally.wrongLines.lines; },
        [](const WrongLine& a, const WrongLine& b) { return a.place == b.place && a.hash == b.hash; },
        [&](const WrongLine& key, const std::vector<std::pair<std::size_t, const WrongLine*>>& run) {
            std::uint64_t count = 0;
            for (const auto& [tally, held] : run)
                count += held->count;
            if (count > 0)
                line(key.place, count, tallies[run.front().first].wrongLines.textOf(*run.front().second));
        });
}

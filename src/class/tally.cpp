#include "tally.h"

#include <algorithm>

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
    decoded.wholeFile = place == wholeFileOf(decoded.test);
    decoded.line = decoded.wholeFile ? 0 : place - firsts_[decoded.test];
    return decoded;
}

void forEachGroup(std::vector<Tally>& tallies,
                  const std::function<void(const Mark& mark, std::span<const std::uint32_t> students)>& group)
{
    // A merge of the sorted tallies, rather than one sorted copy of all
    // marks: a large class's marks are the most memory the run holds.
    for (Tally& tally : tallies)
        if (!std::is_sorted(tally.marks.begin(), tally.marks.end()))
            std::sort(tally.marks.begin(), tally.marks.end());
    std::vector<std::size_t> next(tallies.size(), 0);
    // The tally whose next mark comes first; tallies.size() when all are done.
    auto first = [&] {
        std::size_t best = tallies.size();
        for (std::size_t i = 0; i < tallies.size(); ++i)
            if (next[i] < tallies[i].marks.size() &&
                (best == tallies.size() || tallies[i].marks[next[i]] < tallies[best].marks[next[best]]))
                best = i;
        return best;
    };
    std::vector<std::uint32_t> students;
    for (std::size_t at = first(); at < tallies.size();) {
        Mark key = tallies[at].marks[next[at]];
        students.clear();
        while (at < tallies.size() && tallies[at].marks[next[at]].key() == key.key()) {
            std::uint32_t student = tallies[at].marks[next[at]].student;
            if (students.empty() || students.back() != student)
                students.push_back(student);
            ++next[at];
            at = first();
        }
        group(key, students);
    }
}

std::string textOf(const std::vector<Tally>& tallies, const Mark& mark)
{
    for (const Tally& tally : tallies) {
        auto found = tally.texts.find(TextKey{mark.place, mark.hash});
        if (found != tally.texts.end())
            return found->second;
    }
    return std::string();
}

// What the workers see of the class's wrong answers, each worker its own,
// merged after: a mark for every wrong line of every graded file, and for
// every graded file that is not fully right, with the text each wrong line
// held.
#ifndef LABELGRADE_TALLY_H
#define LABELGRADE_TALLY_H

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

// Where a mark stands: a line of a test's reference, or the test's whole
// file.
struct Place {
    std::uint32_t test = 0;
    std::uint64_t line = 0;  // from 0; none for a whole file
    bool wholeFile = false;
};

// Every place of a class as one 32-bit number, so that a mark stays small
// (a large class makes millions): each test's lines, then its whole file,
// test after test.  Marks sorted by number are grouped by test, then line.
struct MarkPlaces {
    explicit MarkPlaces(const std::vector<std::uint64_t>& lineCounts);

    // False for a test past what 32 bits number: its files leave no marks.
    bool marked(std::uint32_t test) const { return std::size_t{test} + 1 < firsts_.size(); }
    std::uint32_t lineOf(std::uint32_t test, std::uint64_t line) const
    {
        return firsts_[test] + static_cast<std::uint32_t>(line);
    }
    std::uint32_t wholeFileOf(std::uint32_t test) const { return firsts_[test + 1] - 1; }
    std::uint32_t testOf(std::uint32_t place) const;
    Place placeOf(std::uint32_t place) const;

private:
    std::vector<std::uint32_t> firsts_;  // per marked test, its first place; then the end of the last
};

// A wrong line (a hash of its text) or a whole file (a hash of its bytes),
// where it stands, and whose it was.
struct Mark {
    std::uint64_t hash = 0;
    std::uint32_t student = 0;
    std::uint32_t place = 0;

    auto key() const { return std::tie(place, hash); }
    bool operator<(const Mark& other) const
    {
        return std::tie(place, hash, student) < std::tie(other.place, other.hash, other.student);
    }
};

struct TextKey {
    std::uint32_t place = 0;
    std::uint64_t hash = 0;
    bool operator==(const TextKey&) const = default;
};

struct TextKeyHash {
    std::size_t operator()(const TextKey& key) const
    {
        return static_cast<std::size_t>(key.hash ^ std::uint64_t{key.place} * 0x9E3779B97F4A7C15u);
    }
};

struct Tally {
    std::vector<Mark> marks;
    // Each wrong line's text once, cut to what a summary shows.
    std::unordered_map<TextKey, std::string, TextKeyHash> texts;
};

// Calls `group` once for each set of marks that share place and hash,
// across all tallies, in order, with the students who share it (in order,
// each once).  Sorts the tallies' marks first, where a worker has not.
void forEachGroup(std::vector<Tally>& tallies,
                  const std::function<void(const Mark& mark, std::span<const std::uint32_t> students)>& group);

// The text of a wrong line, from whichever tally holds it.
std::string textOf(const std::vector<Tally>& tallies, const Mark& mark);

#endif

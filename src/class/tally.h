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

// The position of a mark that stands for a whole file.
constexpr std::uint32_t wholeFile = UINT16_MAX;
// Marks are kept small, as a large class makes a million of them: tests
// past this many have none, and wrong lines past this position are not
// told apart.
constexpr std::uint32_t mostMarkedTests = UINT16_MAX;
constexpr std::uint32_t lastMarkedPosition = wholeFile - 1;

// A wrong line (its position and a hash of its text) or a whole file (a
// hash of its bytes), and whose it was.
struct Mark {
    std::uint64_t hash = 0;
    std::uint32_t student = 0;
    std::uint16_t test = 0;
    std::uint16_t position = 0;

    auto key() const { return std::tie(test, position, hash); }
    bool operator<(const Mark& other) const
    {
        return std::tie(test, position, hash, student) < std::tie(other.test, other.position, other.hash, other.student);
    }
};

struct TextKey {
    std::uint32_t test = 0;
    std::uint32_t position = 0;
    std::uint64_t hash = 0;
    bool operator==(const TextKey&) const = default;
};

struct TextKeyHash {
    std::size_t operator()(const TextKey& key) const
    {
        return static_cast<std::size_t>(key.hash ^ (std::uint64_t{key.test} << 32 | key.position) * 0x9E3779B97F4A7C15u);
    }
};

struct Tally {
    std::vector<Mark> marks;
    // Each wrong line's text once, cut to what a summary shows.
    std::unordered_map<TextKey, std::string, TextKeyHash> texts;
};

// Calls `group` once for each set of marks that share test, position and
// hash, across all tallies, in order, with the students who share it (in
// order, each once).  Sorts the tallies' marks first, where a worker has
// not.
void forEachGroup(std::vector<Tally>& tallies,
                  const std::function<void(const Mark& mark, std::span<const std::uint32_t> students)>& group);

// The text of a wrong line, from whichever tally holds it.
std::string textOf(const std::vector<Tally>& tallies, const Mark& mark);

#endif

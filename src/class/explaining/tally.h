// What the workers see of the class's wrong answers, each worker its own,
// merged after: how many files are wrong at each reference line, each
// distinct wrong line counted with its text, and the pieces of evidence
// that copying is weighed on.
#ifndef LABELGRADE_TALLY_H
#define LABELGRADE_TALLY_H

#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

// Where a mark stands: a line of a test's reference, or the test's causes.
struct Place {
    std::uint32_t test = 0;
    std::uint64_t line = 0;  // from 0; none for the causes
    bool causes = false;
};

// Every place of a class as one 32-bit number, so that a mark stays small
// (a large class makes millions): each test's lines, then its causes, test
// after test.  Marks sorted by number are grouped by test, then line.
struct MarkPlaces {
    explicit MarkPlaces(const std::vector<std::uint64_t>& lineCounts);

    // False for a test past what 32 bits number: its files leave no marks.
    bool marked(std::uint32_t test) const { return std::size_t{test} + 1 < firsts_.size(); }
    std::uint32_t lineOf(std::uint32_t test, std::uint64_t line) const
    {
        return firsts_[test] + static_cast<std::uint32_t>(line);
    }
    std::uint32_t causesOf(std::uint32_t test) const { return firsts_[test + 1] - 1; }
    std::uint32_t count() const { return firsts_.back(); }
    std::uint32_t testOf(std::uint32_t place) const;
    Place placeOf(std::uint32_t place) const;

private:
    std::vector<std::uint32_t> firsts_;  // per marked test, its first place; then the end of the last
};

// A piece of evidence (a wrong line no cause explains, as a hash of its
// fields, or a cause, as a hash of what it says), where it stands, and
// whose it was.
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

// A distinct wrong line at one place, how many files held it, and its text
// cut to what a summary shows.
struct WrongLine {
    std::uint64_t hash = 0;
    std::uint32_t place = 0;
    std::uint32_t count = 0;
    std::uint32_t textAt = 0;
    std::uint32_t textSize = 0;

    bool operator<(const WrongLine& other) const { return std::tie(place, hash) < std::tie(other.place, other.hash); }
};

// The distinct wrong lines of one worker, found by an open-addressed table:
// a large class holds hundreds of thousands, and a node each would cost
// more than the lines.
struct WrongLines {
    std::vector<WrongLine> lines;
    std::string texts;

    // Counts the line once more; returns where it is in `lines`.
    std::uint32_t add(std::uint32_t place, std::uint64_t hash, std::string_view text);
    std::string_view textOf(const WrongLine& line) const { return std::string_view(texts).substr(line.textAt, line.textSize); }
    // Sorts the lines by place and hash, and drops the table.
    void sort();

private:
    void grow();
    std::vector<std::uint32_t> slots_;  // an index into `lines` plus one; 0 for none
};

struct Tally {
    std::vector<std::uint64_t> wrongAt;  // per place: graded files wrong there
    WrongLines wrongLines;
    // Evidence.  A deque grows a block at a time: a large class's marks are
    // much of what a run holds, and a vector's doubling would hold them
    // three times over while it moves them.
    std::deque<Mark> marks;
};

// Calls `group` once for each set of marks that share place and hash,
// across all tallies, in order, with the students who share it (in order,
// each once).  Sorts the tallies' marks first, where a worker has not.
void forEachGroup(std::vector<Tally>& tallies,
                  const std::function<void(const Mark& mark, std::span<const std::uint32_t> students)>& group);

// Calls `line` once for each distinct wrong line across all tallies that
// some file holds, in order of place, with its count summed and its text.
void forEachWrongLine(std::vector<Tally>& tallies,
                      const std::function<void(std::uint32_t place, std::uint64_t count, std::string_view text)>& line);

#endif

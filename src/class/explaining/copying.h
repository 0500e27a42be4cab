// Spotting copied work from outputs: pairs of students who share more than
// independent work explains.  A pair is something to look at, never a
// verdict.
//
// What two students may share is counted in facts, pieces of evidence:
// - the set of their assembler's mistakes on a test (the causes a diagnostic
//   names but those of how a file was saved or printed, and with --sources
//   the statement mistakes, each with its parameters): one piece however
//   many lines it explains, and one for a pair across tests (the same
//   assembler makes the same mistakes on every test);
// - an unusual order of a test's lines (not sorted, not reversed): one
//   piece, and one across tests;
// - each wrong line, as what is left of it once the file's told causes are
//   undone (a label the causes do not give, an address's distance from
//   where they put it), at the reference line it holds, whatever its
//   blanks, tabs or line ends: a hand edit, a typo.
// A hand edit is evidence only between two files that print alike (their
// addresses' form, their labels' case and cut, their columns' order): who
// copies a file keeps how it prints, and two files printed apart that hold
// one typo made it apart.  How a file was saved (its line ends, blanks, a
// byte-order mark) is not how it prints.  The rate at which a pair shares
// a hand edit by chance is then read from the pairs that print alike.
// Empty and missing files are no evidence.  What many students share is a
// common bug, not evidence: a piece counts only when at most a few students
// hold it (a fortieth of a test's graded students, never fewer than 3, so
// a group of three copiers still counts, nor more than 8).
//
// How many pieces a pair must share is chosen from the class itself: the
// rare pieces that students hold in common make the rate at which a given
// pair shares one by chance (λ, the pairs that share each piece, summed
// over the pieces, over all pairs), and the pieces an honest pair shares
// are then taken as a Poisson count of mean λ.  The threshold is the least count, at least 2, at which
// the pairs that chance alone would list, over the whole class, number
// less than one in two; and a pair may be listed for fewer pieces where
// they are held by no one else, whose rate is lower, by the same rule; or
// for two hand edits or more that are all one student made on the tests
// they share one on, where the chance that a given other student holds
// all of them is among the least in the class, those least chances summed
// over every student and set of tests making less than a fifth of what
// the threshold leaves of one in two.  Three students are listed as a
// group, by the same rule held to the chance that two given other students
// both hold them, where two hand edits or more that one of them made on the
// tests the three share one on are all the other two's, and no fourth
// student's: an edit held by just a ring of three is as rare as evidence
// gets for that ring, though each of its pairs sees it held by three.
// The pairs listed are ranked by the pieces they
// share, then by how rare they are, then those whose files make the same
// mistakes on the tests they share edits on; students every two of whom
// are listed are told as one group.  A pair whose set of mistakes no other student has, and
// that shares too little else, is listed apart: no reading of outputs
// tells two honest students with one rare assembler from a copy.
#ifndef LABELGRADE_COPYING_H
#define LABELGRADE_COPYING_H

#include "class/explaining/tally.h"

#include <cstdint>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

// A file not graded, which prints nothing.
constexpr std::uint32_t unprinted = UINT32_MAX;

enum class SharedKind : std::uint8_t { line, mistakes, order };

// A piece of evidence that a pair or group shares, how many students hold
// it, and how many of them are the pair's or the group's.
struct SharedAnswer {
    Place place;
    std::uint32_t sharers = 0;
    std::uint64_t hash = 0;
    SharedKind kind = SharedKind::line;
    std::uint32_t within = 2;
};

// A pair of students, or a group of three or more joined by listed pairs.
struct SuspectedPair {
    std::uint32_t first = 0;  // students, in their order
    std::uint32_t second = 0;
    std::uint32_t pieces = 0;
    double rarity = 0;  // the sum of 1/(sharers - 1): among pairs sharing as many pieces, the rarer first
    std::vector<SharedAnswer> shared;
    std::vector<std::uint32_t> members = {};  // a group's students, in order; empty for a pair
    bool apart = false;  // listed for a set of mistakes no other student has, short of the threshold
    // Listed short of the threshold because every hand edit that one of the
    // pair made on the tests they share a hand edit on is the other's too
    // (for a ring of three, the other two's): that student, or UINT32_MAX.
    std::uint32_t whole = UINT32_MAX;
    // The chance that a given other student (for a ring, two) holds all of
    // `whole`'s.
    double wholeChance = 0;
    // Whether their files make the same mistakes on every test they share
    // a hand edit on, as a copy's make its source's: of pairs that share as
    // much, those first.
    bool sameMistakes = false;
};

// Chance's part in a class: how many pieces a pair must share.
struct CopyThreshold {
    std::uint32_t pieces = 2;
    std::uint32_t ownPieces = 2;  // or this many that no other student holds
    bool wholeListed = false;  // or two hand edits that are all of one student's on those tests
    bool ringListed = false;   // or, for three students, all of one's held by the other two
    double rate = 0;          // λ: the chance that a given pair shares some rare piece
    double expectedHonest = 0;  // the pairs that chance alone would list at that count
};

// The least count, at least 2, at which fewer than `tolerated` of `pairs`
// honest pairs would reach it by chance, each sharing a Poisson count of
// mean `rate`.
CopyThreshold thresholdFor(double pairs, double rate, double tolerated);

struct CopyFinder {
    // The graded students of each test, and the students graded at all;
    // by student then test, how each file prints and the mistakes it makes,
    // each as a key of 32 bits (a class's files hold a few thousand of
    // each, and 20,000 students' keys are held while their marks are), or
    // `unprinted` for a file not graded (none: every file alike).
    CopyFinder(const MarkPlaces& places, const std::vector<std::uint64_t>& gradedPerTest, std::uint64_t students,
               std::vector<std::uint32_t> prints = {}, std::vector<std::uint32_t> mistakes = {});

    // Told each group of students that share a mark.
    void shared(const Mark& mark, std::span<const std::uint32_t> students);

    // The pairs that share at least the threshold's pieces, those joined
    // by such pairs as groups, strongest first, then in the students'
    // order; then the pairs listed apart.
    std::vector<SuspectedPair> suspects();

    CopyThreshold threshold;  // set by suspects()

private:
    // A rare piece and the students who hold it, kept for the walk that
    // tells the pairs listed what they share.
    struct RareGroup {
        Mark mark;
        std::uint32_t first = 0;  // in groupStudents_
        std::uint32_t sharers = 0;
    };
    // A student's hand edits on a test that few hold, and the chance that
    // a given other student holds them all; and, as a logarithm (which a
    // float holds without growing the record), that two given others both
    // hold them all: -infinity where an edit has fewer than three holders.
    struct Held {
        std::uint32_t pieces = 0;
        float ringLog = 0;
        double chance = 1;
    };
    struct PairCount {
        std::uint32_t pieces = 0;
        double rarity = 0;
        std::uint32_t own = 0;  // pieces no other student holds
        std::uint8_t kinds = 0;  // the kinds of fact counted, as countsOnce keeps them
        bool uniqueMistakes = false;
    };

    // Calls `pair(key)` for each pair of the group's students.
    template <typename Pair>
    void forEachPair(const RareGroup& group, Pair&& pair) const;
    static bool countsOnce(SharedKind kind, std::uint8_t& seen);
    bool printAlike(std::uint64_t key, std::uint32_t test) const;
    bool sameMistakes(const std::vector<std::uint32_t>& students, const std::vector<std::uint32_t>& linesShared) const;
    void hold(std::span<const std::uint32_t> students, std::uint32_t test);
    std::pair<double, double> wholeChanceFor(double tolerated, bool ring) const;
    std::uint32_t wholeOf(std::uint32_t first, std::uint32_t second, const std::vector<std::uint32_t>& linesShared,
                          double& limit) const;
    void listRings(std::vector<SuspectedPair>& listed, const std::vector<bool>& reached,
                   const std::unordered_map<std::uint64_t, std::size_t>& at, const std::vector<std::uint32_t>& linesShared,
                   double limit) const;
    SharedAnswer answerOf(const RareGroup& group) const;
    void joinGroups(std::vector<SuspectedPair>& listed) const;

    const MarkPlaces& places_;
    std::vector<std::uint64_t> mostSharers_;
    std::uint64_t students_ = 0;
    // Pairs sharing a rare set of mistakes or order, summed over pieces, and
    // of them, pieces that no one else holds; by test, the same for hand
    // edits, which only pairs that print alike share.
    double coincidences_ = 0;
    double owned_ = 0;
    std::vector<double> lineCoincidences_;
    std::vector<double> lineOwned_;
    std::vector<double> alikePairs_;  // by test: the pairs whose files print alike
    std::vector<RareGroup> groups_;
    std::vector<std::uint32_t> groupStudents_;
    std::unordered_map<std::uint64_t, PairCount> counts_;
    std::vector<Held> held_;  // by student, then test
    std::vector<std::uint32_t> prints_;    // by student, then test
    std::vector<std::uint32_t> mistakes_;  // by student, then test
};

#endif

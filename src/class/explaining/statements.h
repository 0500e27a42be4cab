// A student's address errors explained by the test program's statements:
// what each kind of statement adds to the location counter is learned from
// the reference's addresses, and a student's per-symbol offsets are fitted
// as the sum of what each mistake of an assembler's pass 1 adds before
// each symbol.  A mistake is told only where the fit is exact and the only
// one of its size: a false explanation is worse than none.
#ifndef LABELGRADE_STATEMENTS_H
#define LABELGRADE_STATEMENTS_H

#include "class/model/test_program.h"
#include "grading/fields.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

constexpr std::uint32_t noSlot = UINT32_MAX;

// slot * statementMistakeCount + mistake: what the mistake adds to the
// slot's address (plusSize: for each byte a `+` statement is off); and for
// an EQU that holds a value, what it adds when the EQU mistake gives the
// label the location counter.
struct SlotAdds {
    std::vector<std::int64_t> adds;
    std::vector<std::int64_t> addsAsLocation;
};

// What the explaining knows of a test's program, learned once for the
// class.  A slot is a reference line whose label a statement has.
struct StatementModel {
    std::vector<std::uint32_t> slotOfLine;  // per reference line (from 0): its slot, or noSlot
    // What the mistakes add where ORG is obeyed ([0]) and where it is
    // ignored ([1]), which takes back nothing the others add.
    std::array<SlotAdds, 2> rows;
    // For an EQU that holds a value: how far the location counter lies
    // from it; `located` false where the location counter is not known.
    std::vector<std::int64_t> locationOffset;
    std::vector<std::uint8_t> equValue;
    std::vector<std::uint8_t> located;
    // Per slot, as masks of mistakes: those that concern a statement of the
    // program and change the address a file shows there, and those that
    // taking or not may change in any way a set reads it (ORG obeyed or
    // not, the EQU mistake taken or not).
    std::vector<std::uint32_t> shownAt;
    std::vector<std::uint32_t> movedAt;
    // Per mistake: the statements it concerns, the first of them, and what
    // one of them takes.
    std::array<std::uint32_t, statementMistakeCount> statements{};
    std::array<std::uint32_t, statementMistakeCount> first{};
    std::array<std::int64_t, statementMistakeCount> size{};
    // Per reference line (from 0): the mistake that leaving it out is,
    // where a statement's kind says so (an EQU's label, the program's
    // name); `count` for any other line.
    std::vector<StatementMistake> leftOutAs;
    std::uint32_t nameLine = noSlot;  // the program's name's reference line
    // Whether the BYTE mistakes would move a pool of literals, had the
    // student's assembler sized literals as it sizes constants.
    bool literalPools = false;

    bool usable() const { return !slotOfLine.empty(); }
};

// `values` and `hasValue` are the reference's addresses, line by line.
// With `literalsAlike`, the BYTE mistakes size the literals of their form
// alike: one assembler does, another sizes literals apart.
StatementModel learnStatements(const TestProgram& program, const std::vector<Symbol>& symbols,
                               const std::vector<std::uint64_t>& values, const std::vector<std::uint8_t>& hasValue,
                               bool literalsAlike = false);

// A reference line's address as a student's file gives it: how far it lies
// from the reference's.
struct ObservedAddress {
    std::uint32_t line = 0;  // from 0
    std::int64_t offset = 0;
    // The address as the file writes it, and in what base: a typo in it
    // changes one digit.  Base 0 where the file's way is not known.
    std::int64_t written = 0;
    std::uint8_t base = 0;
};

// The one smallest set of mistakes that gives every observed offset
// exactly, or all but a few of many, each a digit's typo away from what
// the set gives, which `slipped` then says; none where no set does, or two
// as small do.  With `typos` false, only a set that gives every offset.
std::vector<FoundMistake> fitMistakes(const StatementModel& model, std::span<const ObservedAddress> observed,
                                      bool* slipped = nullptr, bool typos = true);

// How far the mistakes found put a reference line's address (from 0) from
// the reference's; none where no statement labels the line, or the
// mistakes cannot tell.
std::optional<std::int64_t> mistakesOffset(const StatementModel& model, std::span<const FoundMistake> mistakes,
                                           std::uint32_t line);

#endif

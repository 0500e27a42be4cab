// Every kind of cause in one table, a row each in Cause's order: where it
// shows, what a wrong line needs of it, and what the summary counts
// students by.  The explaining tells a pattern from its row alone, so that
// a new one is its detector (a need that needsOf sets), its row here and a
// row of words in the outputs; a kind left out of either table does not
// compile.
#ifndef LABELGRADE_CAUSE_KINDS_H
#define LABELGRADE_CAUSE_KINDS_H

#include "class/explaining/line_causes.h"
#include "class/model/diagnosis.h"

#include <compare>
#include <cstdint>
#include <iterator>

// Where a kind of cause shows.
enum class Found : std::uint8_t {
    inBytes,  // in the file's bytes, whatever its lines hold
    inOrder,  // in the order of its lines: a slip, told one by one
    inLines,  // in the wrong lines that need it: a pattern, told with how many
};

// What a kind keeps of a cause's parameters for the summary: only what no
// test's numbering changes.
enum class Keeps : std::uint8_t {
    nothing,
    forms,      // the address forms
    offset,     // how far and which way, unless it keeps changing
    value,      // the characters labels are cut to
    direction,  // lines left out or lines added
    single,     // one line or more than one
    order,      // the order a reordered file's lines are in
};

// Whether a kind says how a whole file prints (as an assembler's way of
// printing does, which a copy of the file keeps), and where.
enum class Prints : std::uint8_t {
    no,
    onMostLines,  // where it holds on at least half of the test's lines
    anywhere,     // labels cut to one length: only the longer are cut
};

struct CauseKindRow {
    Cause cause;
    Found found;
    Keeps keeps;
    Prints prints;
    // For a pattern: whether a wrong line needs it.
    bool (*needed)(const LineNeeds& line) = nullptr;
};

inline constexpr CauseKindRow causeKindRows[] = {
    {Cause::crlfLineEnds, Found::inBytes, Keeps::nothing, Prints::no},
    {Cause::byteOrderMark, Found::inBytes, Keeps::nothing, Prints::no},
    {Cause::zeroBytes, Found::inBytes, Keeps::nothing, Prints::no},
    {Cause::emptyFile, Found::inBytes, Keeps::nothing, Prints::no},
    {Cause::trailingEmptyLine, Found::inBytes, Keeps::nothing, Prints::no},
    {Cause::shiftedLines, Found::inOrder, Keeps::direction, Prints::no},
    {Cause::movedLine, Found::inOrder, Keeps::order, Prints::no},
    {Cause::lastLinesLeftOut, Found::inOrder, Keeps::single, Prints::no},
    {Cause::addressForm, Found::inLines, Keeps::forms, Prints::onMostLines,
     [](const LineNeeds& line) { return line.forms != 0; }},
    {Cause::decimalAddresses, Found::inLines, Keeps::nothing, Prints::onMostLines,
     [](const LineNeeds& line) { return line.decimal; }},
    {Cause::addressOffset, Found::inLines, Keeps::offset, Prints::no,
     [](const LineNeeds& line) { return line.range != noLine; }},
    {Cause::neighbourAddress, Found::inLines, Keeps::nothing, Prints::no,
     [](const LineNeeds& line) { return line.neighbour; }},
    {Cause::labelCase, Found::inLines, Keeps::nothing, Prints::onMostLines,
     [](const LineNeeds& line) { return line.labelCase; }},
    {Cause::cutLabels, Found::inLines, Keeps::value, Prints::anywhere, [](const LineNeeds& line) { return line.cut; }},
    {Cause::swappedColumns, Found::inLines, Keeps::nothing, Prints::onMostLines,
     [](const LineNeeds& line) { return line.swapped; }},
};

constexpr bool rowsInCauseOrder()
{
    for (std::size_t i = 0; i < std::size(causeKindRows); ++i) {
        const CauseKindRow& row = causeKindRows[i];
        if (static_cast<std::size_t>(row.cause) != i || (row.found == Found::inLines) != (row.needed != nullptr) ||
            (row.prints != Prints::no && row.found != Found::inLines))
            return false;
    }
    return true;
}
static_assert(std::size(causeKindRows) == causeCount, "a row for every kind of cause");
static_assert(rowsInCauseOrder(),
              "rows in Cause's order, a pattern's with what a line needs of it; only a pattern says how a file prints");

constexpr const CauseKindRow& rowOf(Cause cause)
{
    return causeKindRows[static_cast<std::size_t>(cause)];
}

// A cause told with the wrong lines it explains.
constexpr bool isLineCause(Cause cause)
{
    return rowOf(cause).found == Found::inLines;
}

// A cause as the summary counts students by it: its kind, and of its
// parameters what its row keeps.
struct CauseKind {
    Cause cause = Cause::emptyFile;
    std::uint8_t forms = 0;
    bool negative = false;  // an offset below the reference's addresses; lines added, not left out
    bool single = false;    // one line, not more
    bool grows = false;     // an offset that grows step by step
    LineOrder order = LineOrder::reference;  // lines reordered: the order found
    std::uint64_t value = 0;  // an offset's size (0: one that keeps changing); the characters kept
    auto operator<=>(const CauseKind&) const = default;
};

CauseKind causeKindOf(const Diagnosis& diagnosis);

// An offset that grows: the size of its step-th step (from 1), away from
// the reference's addresses; and the size all its steps share, 0 if they
// differ.
std::uint64_t stepSize(const Diagnosis& diagnosis, std::size_t step);
std::uint64_t commonStep(const Diagnosis& diagnosis);

#endif

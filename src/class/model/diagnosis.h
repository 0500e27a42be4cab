// A cause that explains points a student's file lost, as the class keeps
// it: small, since a large class holds hundreds of thousands.
#ifndef LABELGRADE_DIAGNOSIS_H
#define LABELGRADE_DIAGNOSIS_H

#include "class/model/addresses.h"
#include "class/model/rare_vector.h"

#include <cstddef>
#include <cstdint>

// In the order the notes tell them.  Each kind has a row in the explaining's
// table of kinds and in the outputs' table of words, which are checked
// against `count` when they compile.
enum class Cause : std::uint8_t {
    crlfLineEnds,
    byteOrderMark,
    zeroBytes,
    emptyFile,
    trailingEmptyLine,
    shiftedLines,
    movedLine,
    lastLinesLeftOut,
    addressForm,
    decimalAddresses,
    addressOffset,
    neighbourAddress,
    labelCase,
    cutLabels,
    swappedColumns,
    count,  // no cause: how many there are
};

constexpr std::size_t causeCount = static_cast<std::size_t>(Cause::count);

// What each cause keeps (lines are numbered from 1; 0 is none):
//   crlfLineEnds      amount: lines ending in CR LF; value: lines that end at all
//   shiftedLines      amount: lines left out (or, below 0, added); value: the
//                     first reference line left out, or the one the lines
//                     were added before (0: at the end)
//   movedLine         value: the reference line; from: the reference line
//                     printed before it; to, where none is: the one after it;
//                     value 0: more slips than are told one by one, amount
//                     of them
//   lastLinesLeftOut  amount: how many
//   addressOffset     amount: lines it explains; value: how far the addresses
//                     lie from the reference's (below it where `negative`;
//                     0: offsets that change too often to tell one by one);
//                     from, to: the reference lines it holds on (to: 0 when
//                     to the end); since: where typos hide whether it
//                     starts before `from`, the first line it may start at
//                     besides: the reference lines within from..to
//                     whose addresses lie at another offset, nor the
//                     reference's, which it does not hold on
//                     steps: where an offset grows step by step, each
//                     line it grows at and the offset from there; value is
//                     then the last offset's size
//   neighbourAddress  amount: lines; besides: the reference lines whose
//                     address is that of a line beside them
//   cutLabels         amount: lines; value: the characters kept
//   the other line causes: amount, the lines they explain
// Where an offset that grows step by step takes its next size.
struct OffsetStep {
    std::uint32_t line = 0;    // the reference line, from 1
    std::uint64_t offset = 0;  // the student's address less the reference's, modulo 2^64
    bool operator==(const OffsetStep&) const = default;
};

// The order a file's lines are in: the reference's, with slips told one by
// one; or, where they are too many, the order found.
enum class LineOrder : std::uint8_t { reference, byLabel, reverse, noneFound };

struct Diagnosis {
    Cause cause = Cause::emptyFile;
    std::uint8_t forms = 0;  // for addressForm: which AddressForm bits
    bool negative = false;
    std::int32_t amount = 0;
    std::uint64_t value = 0;
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    std::uint32_t since = 0;
    // movedLine with value 0: the order found; shiftedLines: a line left
    // out (amount 1) or printed twice (-1) in a file in that order.
    LineOrder order = LineOrder::reference;
    RareVector<OffsetStep> steps = {};  // an offset that grows; empty for one that holds
    RareVector<std::uint32_t> besides = {};  // an offset that holds: the lines in its range it does not hold on
    bool operator==(const Diagnosis&) const = default;
};

#endif

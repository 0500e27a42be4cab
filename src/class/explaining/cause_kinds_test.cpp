// The table of kinds: each pattern reads its own need of a line, and the
// summary's kind keeps what no test's numbering changes and nothing more.
#include "class/explaining/cause_kinds.h"

#include <gtest/gtest.h>

namespace {

// A line that needs the pattern `cause` alone.
LineNeeds needing(Cause cause)
{
    LineNeeds line;
    switch (cause) {
    case Cause::addressForm:
        line.forms = lowercase;
        break;
    case Cause::decimalAddresses:
        line.decimal = true;
        break;
    case Cause::addressOffset:
        line.range = 1;
        break;
    case Cause::neighbourAddress:
        line.neighbour = true;
        break;
    case Cause::labelCase:
        line.labelCase = true;
        break;
    case Cause::cutLabels:
        line.cut = true;
        break;
    case Cause::swappedColumns:
        line.swapped = true;
        break;
    default:
        ADD_FAILURE() << "no line needs cause " << static_cast<int>(cause) << " here: give it one";
    }
    return line;
}

Diagnosis cause(Cause kind, std::int32_t amount, std::uint64_t value = 0, bool negative = false)
{
    Diagnosis diagnosis{kind, 0, negative, amount, value};
    diagnosis.from = 3;
    return diagnosis;
}

}  // namespace

TEST(CauseKinds, EachPatternIsNeededByItsOwnNeedAlone)
{
    for (const CauseKindRow& row : causeKindRows) {
        if (row.found != Found::inLines)
            continue;
        LineNeeds line = needing(row.cause);
        for (const CauseKindRow& other : causeKindRows) {
            if (other.found != Found::inLines)
                continue;
            EXPECT_EQ(other.needed(line), other.cause == row.cause)
                << "cause " << static_cast<int>(other.cause) << " on a line that needs " << static_cast<int>(row.cause);
        }
        EXPECT_FALSE(row.needed(LineNeeds{})) << static_cast<int>(row.cause);
    }
}

TEST(CauseKinds, OneKindWhateverTheLinesAndPlacesOfOneFile)
{
    Diagnosis offsetLater = cause(Cause::addressOffset, 30, 16);
    offsetLater.from = 40;
    offsetLater.to = 90;
    offsetLater.since = 38;
    EXPECT_EQ(causeKindOf(cause(Cause::addressOffset, 4, 16)), causeKindOf(offsetLater));
    EXPECT_EQ(causeKindOf(cause(Cause::shiftedLines, 2, 7)), causeKindOf(cause(Cause::shiftedLines, 5, 1)));
    EXPECT_EQ(causeKindOf(cause(Cause::lastLinesLeftOut, 2)), causeKindOf(cause(Cause::lastLinesLeftOut, 9)));
    EXPECT_EQ(causeKindOf(cause(Cause::cutLabels, 2, 6)), causeKindOf(cause(Cause::cutLabels, 40, 6)));
    EXPECT_EQ(causeKindOf(cause(Cause::crlfLineEnds, 1, 6)), causeKindOf(cause(Cause::crlfLineEnds, 5, 5)));
    EXPECT_EQ(causeKindOf(cause(Cause::movedLine, 0, 5)), causeKindOf(cause(Cause::movedLine, 0, 9)));
    // Offsets that keep changing have no direction to tell apart.
    EXPECT_EQ(causeKindOf(cause(Cause::addressOffset, 4, 0, true)), causeKindOf(cause(Cause::addressOffset, 9, 0)));
}

TEST(CauseKinds, KindsApartByWhatTheyKeep)
{
    EXPECT_NE(causeKindOf(cause(Cause::addressOffset, 4, 16)), causeKindOf(cause(Cause::addressOffset, 4, 16, true)));
    EXPECT_NE(causeKindOf(cause(Cause::addressOffset, 4, 16)), causeKindOf(cause(Cause::addressOffset, 4, 1)));
    EXPECT_NE(causeKindOf(cause(Cause::shiftedLines, 2, 7)), causeKindOf(cause(Cause::shiftedLines, -2, 7)));
    EXPECT_NE(causeKindOf(cause(Cause::lastLinesLeftOut, 1)), causeKindOf(cause(Cause::lastLinesLeftOut, 2)));
    EXPECT_NE(causeKindOf(cause(Cause::cutLabels, 2, 5)), causeKindOf(cause(Cause::cutLabels, 2, 6)));
    Diagnosis prefix{Cause::addressForm, prefixed, false, 3};
    Diagnosis lower{Cause::addressForm, lowercase, false, 3};
    EXPECT_NE(causeKindOf(prefix), causeKindOf(lower));
    // Parameters the kind does not keep are not taken for one it does.
    EXPECT_EQ(causeKindOf(cause(Cause::labelCase, 3, 99, true)), causeKindOf(cause(Cause::labelCase, 8)));
    EXPECT_NE(causeKindOf(cause(Cause::labelCase, 3)), causeKindOf(cause(Cause::swappedColumns, 3)));
}

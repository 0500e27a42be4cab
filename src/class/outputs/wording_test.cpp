// The words of each cause that the bare findings tests do not reach: every
// kind of shift and moved line, ranges of offsets, and the kinds the
// summary counts students by.
#include "class/outputs/wording.h"

#include <gtest/gtest.h>

namespace {

Diagnosis offset(std::uint64_t by, bool below, std::uint32_t from, std::uint32_t to, std::uint32_t since)
{
    Diagnosis diagnosis{Cause::addressOffset, 0, below, 12, by};
    diagnosis.from = from;
    diagnosis.to = to;
    diagnosis.since = since;
    return diagnosis;
}

}  // namespace

TEST(Describe, NamesAShiftBySizeAndPlace)
{
    EXPECT_EQ(describe(Diagnosis{Cause::shiftedLines, 0, false, 3, 7}),
              "lines 7 to 9 left out (what follows is 3 lines early)");
    EXPECT_EQ(describe(Diagnosis{Cause::shiftedLines, 0, false, -2, 4}),
              "2 lines added before line 4 (what follows is 2 lines late)");
    EXPECT_EQ(describe(Diagnosis{Cause::shiftedLines, 0, false, -1, 0}), "a line added at the end");
    EXPECT_EQ(describe(Diagnosis{Cause::lastLinesLeftOut, 0, false, 2}), "the reference's last 2 lines left out");
}

TEST(Describe, NamesAMovedLineByTheLineBeforeItOrAfterIt)
{
    Diagnosis moved{Cause::movedLine, 0, false, 0, 5};
    moved.from = 9;
    EXPECT_EQ(describe(moved), "line 5 printed after line 9");
    moved.from = 0;
    moved.to = 1;
    EXPECT_EQ(describe(moved), "line 5 printed before line 1");
}

TEST(Describe, NamesTheLinesAnOffsetHoldsOnAndWhereTyposHideItsStart)
{
    EXPECT_EQ(describe(offset(256, false, 1, 0, 1)), "addresses off by +256 (+0x100) (12 lines)");
    EXPECT_EQ(describe(offset(1, true, 40, 0, 40)), "addresses off by -1 from reference line 40 on (12 lines)");
    EXPECT_EQ(describe(offset(1, false, 40, 0, 39)), "addresses off by +1 from reference line 39 or 40 on (12 lines)");
    EXPECT_EQ(describe(offset(1, false, 40, 0, 36)), "addresses off by +1 from reference line 36 to 40 on (12 lines)");
    EXPECT_EQ(describe(offset(4, false, 3, 9, 3)), "addresses off by +4 on reference lines 3 to 9 (12 lines)");
}

TEST(Describe, CountsLinesWhereAPatternIsToldAndCrLfOnlyWhereNotAll)
{
    EXPECT_EQ(describe(Diagnosis{Cause::cutLabels, 0, false, 1, 1}), "labels cut to 1 character (1 line)");
    EXPECT_EQ(describe(Diagnosis{Cause::addressForm, prefixed | lowercase, false, 3}),
              "addresses written with a 0x prefix and lowercase digits (3 lines)");
    EXPECT_EQ(describe(Diagnosis{Cause::crlfLineEnds, 0, false, 5, 5}), "CR LF line ends");
    EXPECT_EQ(describe(Diagnosis{Cause::crlfLineEnds, 0, false, 1, 6}), "CR LF line ends on 1 of 6 lines");
}

TEST(KindOf, LeavesOutWhatOneFileShows)
{
    EXPECT_EQ(kindOf(offset(1, false, 40, 0, 39)), "addresses off by +1");
    EXPECT_EQ(kindOf(Diagnosis{Cause::crlfLineEnds, 0, false, 1, 6}), "CR LF line ends");
    EXPECT_EQ(kindOf(Diagnosis{Cause::shiftedLines, 0, false, 2, 7}), "lines left out, putting the rest out of place");
    for (Cause cause : {Cause::byteOrderMark, Cause::zeroBytes, Cause::emptyFile, Cause::trailingEmptyLine,
                        Cause::movedLine, Cause::lastLinesLeftOut, Cause::decimalAddresses, Cause::labelCase,
                        Cause::swappedColumns})
        EXPECT_FALSE(kindOf(Diagnosis{cause, 0, false, 1}).empty());
}

// A file's note and the summary's kind for one cause of each kind, as
// scripts read them: a new kind fails here until its words are pinned.
TEST(Words, OfEveryKindStayAsScriptsReadThem)
{
    struct Said {
        Diagnosis diagnosis;
        std::string_view note;
        std::string_view kind;
    };
    const Said said[] = {
        {{Cause::crlfLineEnds, 0, false, 2, 9}, "CR LF line ends on 2 of 9 lines", "CR LF line ends"},
        {{Cause::byteOrderMark}, "starts with a UTF-8 byte-order mark", "starts with a UTF-8 byte-order mark"},
        {{Cause::zeroBytes}, "holds zero bytes", "holds zero bytes"},
        {{Cause::emptyFile}, "empty file", "empty file"},
        {{Cause::trailingEmptyLine}, "a trailing empty line", "a trailing empty line"},
        {{Cause::shiftedLines, 0, false, 1, 4}, "line 4 left out (what follows is a line early)",
         "lines left out, putting the rest out of place"},
        {{Cause::movedLine, 0, false, 7, 0}, "lines out of the reference's order in 7 places",
         "a line printed out of order"},
        {{Cause::lastLinesLeftOut, 0, false, 1}, "the reference's last line left out",
         "the reference's last line left out"},
        {{Cause::addressForm, otherWidth, false, 2}, "addresses written with another width (2 lines)",
         "addresses written with another width"},
        {{Cause::decimalAddresses, 0, false, 1}, "addresses in decimal (1 line)", "addresses in decimal"},
        {{Cause::addressOffset, 0, false, 9, 0}, "addresses off by amounts that keep changing (9 lines)",
         "addresses off by amounts that keep changing"},
        {{Cause::neighbourAddress, 0, false, 2, 0, 0, 0, 0, LineOrder::reference, {}, {10, 13}},
         "addresses equal to a line's beside them on reference lines 10 and 13 (2 lines)",
         "addresses equal to a line's beside them"},
        {{Cause::labelCase, 0, false, 3}, "labels right but for letter case (3 lines)",
         "labels right but for letter case"},
        {{Cause::cutLabels, 0, false, 5, 6}, "labels cut to 6 characters (5 lines)", "labels cut to 6 characters"},
        {{Cause::swappedColumns, 0, false, 2}, "address and label swapped (2 lines)", "address and label swapped"},
    };
    std::vector<bool> pinned(causeCount, false);
    for (const Said& one : said) {
        pinned[static_cast<std::size_t>(one.diagnosis.cause)] = true;
        EXPECT_EQ(describe(one.diagnosis), one.note);
        EXPECT_EQ(kindOf(one.diagnosis), one.kind);
        EXPECT_EQ(kindWords(causeKindOf(one.diagnosis)), one.kind);
    }
    for (std::size_t c = 0; c < causeCount; ++c)
        EXPECT_TRUE(pinned[c]) << "no words pinned for cause " << c;
}

TEST(KindOf, TellsApartWhatTheSummaryKeepsOfAKind)
{
    EXPECT_EQ(kindOf(Diagnosis{Cause::shiftedLines, 0, false, -3, 2}), "lines added, putting the rest out of place");
    EXPECT_EQ(kindOf(Diagnosis{Cause::lastLinesLeftOut, 0, false, 4}), "the reference's last lines left out");
    EXPECT_EQ(kindOf(offset(10, true, 1, 0, 1)), "addresses off by -10 (-0xA)");
    EXPECT_EQ(kindOf(Diagnosis{Cause::cutLabels, 0, false, 5, 1}), "labels cut to 1 character");
}

TEST(Describe, NamesAnOffsetThatGrowsStepByStep)
{
    Diagnosis grows{Cause::addressOffset, 0, true, 9, 3};
    grows.steps = {{1, 0}, {4, 0 - std::uint64_t{1}}, {7, 0 - std::uint64_t{2}}, {9, 0 - std::uint64_t{3}}};
    EXPECT_EQ(describe(grows),
              "addresses below the reference's by an amount that grows by 1 at reference lines 4, 7 and 9, to -3 (9 lines)");
    EXPECT_EQ(kindOf(grows), "addresses below the reference's by an amount that grows");
    Diagnosis uneven{Cause::addressOffset, 0, false, 9, 0x1010};
    uneven.steps = {{1, 0x1000}, {5, 0x1002}, {8, 0x1010}};
    EXPECT_EQ(describe(uneven), "addresses above the reference's by an amount that grows from +4096 (+0x1000) by 2 at "
                                "reference line 5 and by 14 at 8, to +4112 (+0x1010) (9 lines)");
}

TEST(Describe, NamesAReorderedFilesOrderAndWhatItLeavesOut)
{
    Diagnosis reordered{Cause::movedLine, 0, false, 8, 0};
    reordered.order = LineOrder::byLabel;
    EXPECT_EQ(describe(reordered), "lines sorted by label, not in the reference's order");
    EXPECT_EQ(kindOf(reordered), "lines sorted by label");
    reordered.order = LineOrder::noneFound;
    EXPECT_EQ(describe(reordered), "lines in no order found, out of the reference's order in 8 places");
    Diagnosis twice{Cause::shiftedLines, 0, false, -1, 4};
    twice.order = LineOrder::reverse;
    EXPECT_EQ(describe(twice), "line 4 printed twice");
    EXPECT_EQ(kindOf(twice), "a line printed twice in a reordered file");
    Diagnosis leftOut{Cause::shiftedLines, 0, false, 2, 4};
    leftOut.order = LineOrder::reverse;
    EXPECT_EQ(describe(leftOut), "lines 4 and 5 left out");
}

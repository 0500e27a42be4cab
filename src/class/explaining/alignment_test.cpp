// The ground every cause is checked on: which reference line each of a
// student's lines holds, and the slips the order of those lines shows.
#include "class/explaining/alignment.h"
#include "class/explaining/explanation.h"
#include "class/explaining/kept_lines.h"
#include "class/explaining/structure.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr std::string_view reference = "0000 START\n0010 LOOP\n0012 NEXT\n0013 DONE\n0020 HALT\n0026 BUF\n";

// Every line kept as wrong, as the watcher would keep a file none of whose
// lines is right.
KeptLines keep(const std::vector<std::string>& lines, std::size_t referenceLines = 6)
{
    KeptLines kept;
    for (std::size_t p = 0; p < lines.size(); ++p) {
        if (p < referenceLines)
            kept.addWrong(lines[p], p == 0);
        else
            kept.addTail(lines[p]);
    }
    kept.joinTail();
    return kept;
}

std::vector<std::uint32_t> linesOf(const Alignment& alignment)
{
    return alignment.lineOf;
}

}  // namespace

TEST(NormalFields, TakeOffAByteOrderMarkAndACarriageReturnOnlyWhereTheyCost)
{
    NormalFields both = normalFields("\xEF\xBB\xBF" "0000 START\r", true);
    EXPECT_EQ(both.first, "0000");
    EXPECT_EQ(both.second, "START");
    EXPECT_TRUE(both.bomCosts);
    EXPECT_TRUE(both.crCosts);
    // A carriage return after a blank is a third field, which costs nothing.
    NormalFields blank = normalFields("0000 START \r", false);
    EXPECT_FALSE(blank.crCosts);
    // A mark on a later line is no byte-order mark.
    EXPECT_FALSE(normalFields("\xEF\xBB\xBF" "0000 START", false).bomCosts);
}

TEST(AlignLines, FindLinesByLabelInAnyCaseOrCutShort)
{
    ReferenceIndex index = indexReference(reference);
    KeptLines kept = keep({"0000 start", "0010 LOO", "0012 NEX", "0013 done", "0020 HAL", "0026 BUF"});
    Alignment alignment = alignLines(index, kept);
    EXPECT_EQ(alignment.cutTo, 3u);
    EXPECT_EQ(linesOf(alignment), (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5}));
}

TEST(AlignLines, ReadSwappedColumnsAndFillATyposLineBetweenItsNeighbours)
{
    ReferenceIndex index = indexReference(reference);
    KeptLines kept = keep({"START 0000", "LOOP 0010", "NEKT 0012", "DONE 0013", "HALT 0020", "BUF 0026"});
    Alignment alignment = alignLines(index, kept);
    EXPECT_TRUE(alignment.swapped);
    EXPECT_EQ(linesOf(alignment), (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5}));
}

TEST(AlignLines, FindATyposLineAtASlipByItsAddress)
{
    ReferenceIndex index = indexReference(reference);
    // Line 2 left out, and the line after the slip mistyped: its
    // neighbours leave it no single place, its address does.
    KeptLines kept = keep({"0000 START", "0012 NEKT", "0013 DONE", "0020 HALT", "0026 BUF"});
    Alignment alignment = alignLines(index, kept);
    EXPECT_EQ(alignment.lineOf[1], noLine);
    alignByAddress(alignment, index, kept, [&](std::string_view address, std::int64_t) {
        return address == "0012" ? 2u : noLine;
    });
    EXPECT_EQ(alignment.lineOf[1], 2u);
    // An address that stands for a line whose label is more than one
    // character away aligns nothing.
    KeptLines far = keep({"0000 START", "0012 QQQQ", "0013 DONE", "0020 HALT", "0026 BUF"});
    Alignment farAlignment = alignLines(index, far);
    alignByAddress(farAlignment, index, far, [](std::string_view, std::int64_t) { return 2u; });
    EXPECT_EQ(farAlignment.lineOf[1], noLine);
}

TEST(StructureOf, TellsAMovedLineByTheLongestRunInOrder)
{
    ReferenceIndex index = indexReference(reference);
    KeptLines kept = keep({"0000 START", "0012 NEXT", "0013 DONE", "0020 HALT", "0026 BUF", "0010 LOOP"});
    Alignment alignment = alignLines(index, kept);
    Structure structure = structureOf(alignment, kept, 6, 6);
    ASSERT_EQ(structure.events.size(), 1u);
    const LineEvent& moved = structure.events[0];
    EXPECT_EQ(moved.kind, EventKind::moved);
    EXPECT_EQ(moved.line, 1u);
    EXPECT_EQ(moved.after, 5u);
    // Every position it put out of place, and its own.
    EXPECT_EQ(moved.points, 5u);
}

TEST(StructureOf, SeesPastTheReferencesEndWhereLinesWereAdded)
{
    ReferenceIndex index = indexReference(reference);
    // A header, so the last line is past the reference's end: it is not
    // left out.
    KeptLines kept = keep({"ADDR SYMBOL", "0000 START", "0010 LOOP", "0012 NEXT", "0013 DONE", "0020 HALT", "0026 BUF"});
    Structure structure = structureOf(alignLines(index, kept), kept, 6, 7);
    ASSERT_EQ(structure.events.size(), 1u);
    EXPECT_EQ(structure.events[0].kind, EventKind::added);
    EXPECT_EQ(structure.events[0].before, 0u);
    EXPECT_TRUE(structure.added[0]);
    // Five positions out of place, the header's, and the line too many.
    EXPECT_EQ(structure.events[0].points, 7u);
}

TEST(StructureOf, TellsNoEventWhereTooFewLinesAlign)
{
    ReferenceIndex index = indexReference(reference);
    KeptLines kept = keep({"X Y", "0010 LOOP", "Z W", "V U", "T S", "R Q"});
    Structure structure = structureOf(alignLines(index, kept), kept, 6, 6);
    EXPECT_TRUE(structure.events.empty());
}

// What the explaining reads of each wrong line's address is what the
// statements' fit then takes: only lines that print their own line's
// label, wherever the alignment found them.
TEST(Explanation, ReadTheAddressesOfLinesThatPrintTheirLinesLabel)
{
    ReferenceIndex index = indexReference(reference);
    KeptLines kept;
    kept.addRight();
    for (std::string_view line : {"0013 LOOP", "0015 NEXT", "0016 DONX", "HALT 0023", "0029 BUF"})
        kept.addWrong(line, false);
    kept.joinTail();
    LineCounts counts{6, 6, 5};
    std::vector<LineReading> given{LineReading{9, 9, 9}};
    Explanation read = explainLines(index, kept, counts, BytesTold{}, &given);
    std::vector<std::pair<std::uint32_t, std::uint64_t>> readings;
    for (const LineReading& reading : given) {
        EXPECT_EQ(reading.line, reading.position);
        readings.emplace_back(reading.line, reading.offset);
    }
    // DONX's typo leaves its address unread; HALT, label first, is read;
    // what the last file left is gone.
    using Readings = decltype(readings);
    EXPECT_EQ(readings, (Readings{{1, 3}, {2, 3}, {4, 3}, {5, 3}}));
    EXPECT_EQ(read.base, 16u);
}

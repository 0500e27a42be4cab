// Each diagnostic at its edge: where it is told, and where it is not.
#include "findings.h"
#include "report/compare.h"
#include "wording.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr std::string_view reference = "0000 START\n0010 LOOP\n0012 NEXT\n0013 DONE\n0020 HALT\n0026 BUF\n";

std::vector<std::string> causesOf(std::string_view student, std::string_view against = reference)
{
    ReferenceIndex index = indexReference(against);
    MarkPlaces places({6});
    Tally tally;
    FindingsWatcher watcher;
    watcher.start(index, places, 0, 0, tally);
    FileLines studentLines = linesOfText(student);
    FileLines referenceLines = linesOfText(against);
    auto out = std::make_unique<Output>();
    Graded graded = compareFiles(ReportHeading{}, studentLines, referenceLines, *out, &watcher);
    std::vector<std::string> causes;
    for (const Diagnosis& diagnosis : watcher.finish(graded.counts))
        causes.push_back(describe(diagnosis));
    return causes;
}

using Causes = std::vector<std::string>;

}  // namespace

TEST(Findings, SayNothingOfARightFile)
{
    EXPECT_EQ(causesOf(reference), Causes{});
}

TEST(Findings, TellAnEmptyFileAndNothingElse)
{
    EXPECT_EQ(causesOf(""), Causes{"empty file"});
}

TEST(Findings, TellLineEndsAByteOrderMarkAndZeroBytesFromTheBytes)
{
    EXPECT_EQ(causesOf("0000 START\r\n0010 LOOP\r\n0012 NEXT\n0013 DONE\n0020 HALT\n0026 BUF\n"),
              Causes{"CR LF line ends on 2 of 6 lines"});
    EXPECT_EQ(causesOf("\xEF\xBB\xBF" "0000 START\n0010 LOOP\n0012 NEXT\n0013 DONE\n0020 HALT\n0026 BUF\n"),
              Causes{"starts with a UTF-8 byte-order mark"});
    EXPECT_EQ(causesOf(std::string_view("0000 START\n0010 LO\0P\n0012 NEXT\n0013 DONE\n0020 HALT\n0026 BUF\n", 60)),
              Causes{"holds zero bytes"});
}

TEST(Findings, TellATrailingEmptyLineOnlyWhereItCostsALine)
{
    EXPECT_EQ(causesOf(std::string(reference) + " \n"), Causes{"a trailing empty line"});
    EXPECT_EQ(causesOf("0000 START\n0010 LOOP\n0012 NEXT\n0013 DONE\n0020 HALT\n\n"), Causes{});
}

TEST(Findings, TellAShiftOnlyWhereTwoLinesWereLostToIt)
{
    EXPECT_EQ(causesOf("0000 START\n0012 NEXT\n0013 DONE\n0020 HALT\n0026 BUF\n"),
              Causes{"from line 2 on, each line is the reference's next line (1 line left out)"});
    EXPECT_EQ(causesOf("Address Label\n0000 START\n0010 LOOP\n0012 NEXT\n0013 DONE\n0020 HALT\n0026 BUF\n"),
              Causes{"from line 2 on, each line is the reference's line before (1 line added)"});
    // The last line left out costs only the count.
    EXPECT_EQ(causesOf("0000 START\n0010 LOOP\n0012 NEXT\n0013 DONE\n0020 HALT\n"), Causes{});
}

TEST(Findings, TellAddressesRightAsNumbersInAnotherForm)
{
    EXPECT_EQ(causesOf("0x0 START\n0x10 LOOP\n0x12 NEXT\n0013 DONE\n0020 HALT\n0026 BUF\n"),
              Causes{"addresses right as numbers but written with a 0x prefix and another width (3 lines)"});
    EXPECT_EQ(causesOf("0000 START\n0016 LOOP\n0018 NEXT\n0019 DONE\n0032 HALT\n0038 BUF\n"),
              Causes{"addresses in decimal (5 lines)"});
}

TEST(Findings, TellTheOffsetMostLinesShareWithItsSign)
{
    EXPECT_EQ(causesOf("0001 START\n0011 LOOP\n0013 NEXT\n0013 DONE\n0020 HALT\n0025 BUF\n"),
              Causes{"addresses off by +1 (3 lines)"});
    EXPECT_EQ(causesOf("0000 START\n000F LOOP\n0011 NEXT\n0012 DONE\n0020 HALT\n0026 BUF\n"),
              Causes{"addresses off by -1 (3 lines)"});
}

TEST(Findings, TellLabelsInAnotherCaseAndSwappedColumns)
{
    EXPECT_EQ(causesOf("0000 start\n0010 loop\n0012 NEXT\n0013 DONE\n0020 HALT\n0026 BUF\n"),
              Causes{"labels right but for letter case (2 lines)"});
    EXPECT_EQ(causesOf("START 0000\nLOOP 0010\n0012 NEXT\n0013 DONE\n0020 HALT\n0026 BUF\n"),
              Causes{"address and label swapped (2 lines)"});
}

TEST(Findings, MarkEveryWrongLineAndAFileNotFullyRight)
{
    ReferenceIndex index = indexReference(reference);
    MarkPlaces places({6});
    Tally tally;
    FindingsWatcher watcher;
    watcher.start(index, places, 0, 7, tally);
    FileLines student = linesOfText("0000 START\n0010 LOOP\n0012 NEXT\n0013 DONE\n0020 HALT\n0026 BUG\n");
    FileLines against = linesOfText(reference);
    auto out = std::make_unique<Output>();
    watcher.finish(compareFiles(ReportHeading{}, student, against, *out, &watcher).counts);
    ASSERT_EQ(tally.marks.size(), 2u);
    EXPECT_EQ(places.placeOf(tally.marks[0].place).line, 5u);
    EXPECT_TRUE(places.placeOf(tally.marks[1].place).wholeFile);
    EXPECT_EQ(tally.marks[0].student, 7u);
    EXPECT_EQ(tally.texts.begin()->second, "0026 BUG");
}

// Each diagnostic at its edge: where it is told, where it is not, and where
// another cause writes the same text.  The reference is the one the class
// cases use: 0000 START, 0010 LOOP, 0012 NEXT, 0013 DONE, 0020 HALT,
// 0026 BUF.
#include "class/explaining/findings.h"
#include "class/intake/test_programs.h"
#include "report/compare.h"
#include "class/outputs/wording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

constexpr std::string_view reference = "0000 START\n0010 LOOP\n0012 NEXT\n0013 DONE\n0020 HALT\n0026 BUF\n";

struct Watched {
    std::vector<std::string> causes;
    Tally tally;
};

Watched watch(std::string_view student, std::string_view against = reference, std::uint32_t who = 0)
{
    ReferenceIndex index = indexReference(against);
    MarkPlaces places({countLines(against)});
    Watched watched;
    FindingsWatcher watcher;
    watcher.start(index, places, 0, who, watched.tally);
    FileLines studentLines = linesOfText(student);
    FileLines referenceLines = linesOfText(against);
    auto out = std::make_unique<Output>();
    Graded graded = compareFiles(ReportHeading{}, studentLines, referenceLines, *out, &watcher);
    for (const Diagnosis& diagnosis : watcher.finish(graded.counts))
        watched.causes.push_back(describe(diagnosis));
    return watched;
}

std::vector<std::string> causesOf(std::string_view student, std::string_view against = reference)
{
    return watch(student, against).causes;
}

// A reference of `lines` symbols, three bytes apart, and a student's file
// made from it line by line.
std::string longReference(int lines)
{
    std::string text;
    for (int i = 0; i < lines; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "%04X SYM%c%c\n", 3 * i, 'A' + i / 26, 'A' + i % 26);
        text += line;
    }
    return text;
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
    constexpr char zeroByte[] = "0000 START\n0010 LO\0P\n0012 NEXT\n0013 DONE\n0020 HALT\n0026 BUF\n";
    EXPECT_EQ(causesOf(std::string_view(zeroByte, sizeof zeroByte - 1)), Causes{"holds zero bytes"});
}

TEST(Findings, CountCrLfAmongTheLinesThatEndAndOnlyWhereItCosts)
{
    // The last line has no line end at all: every line end is CR LF.
    EXPECT_EQ(causesOf("0000 START\r\n0010 LOOP\r\n0012 NEXT\r\n0013 DONE\r\n0020 HALT\r\n0026 BUF"),
              Causes{"CR LF line ends"});
    // A blank before the CR makes it a third field, which costs nothing.
    EXPECT_EQ(causesOf("0000 START \r\n0010 LOOP \r\n0012 NEXT \r\n0013 DONE \r\n0020 HALT \r\n0026 BUF \r\n"),
              Causes{});
}

TEST(Findings, LookPastCrLfAndAByteOrderMarkForOtherCauses)
{
    EXPECT_EQ(causesOf("0000 start\r\n0010 loop\r\n0012 next\r\n0013 done\r\n0020 halt\r\n0026 buf\r\n"),
              (Causes{"CR LF line ends", "labels right but for letter case (6 lines)"}));
    EXPECT_EQ(causesOf("\xEF\xBB\xBF" "0006 START\n0016 LOOP\n0018 NEXT\n0019 DONE\n0026 HALT\n002C BUF\n"),
              (Causes{"starts with a UTF-8 byte-order mark", "addresses off by +6 (6 lines)"}));
}

TEST(Findings, TellATrailingEmptyLineWhereverItStands)
{
    EXPECT_EQ(causesOf(std::string(reference) + " \n"), Causes{"a trailing empty line"});
    // In the last symbol's place: that symbol is left out, and the blank
    // line costs the position.
    EXPECT_EQ(causesOf("0000 START\n0010 LOOP\n0012 NEXT\n0013 DONE\n0020 HALT\n\n"),
              (Causes{"a trailing empty line", "the reference's last line left out"}));
}

TEST(Findings, TellAnOffsetNotABaseWhereBothReadTheSame)
{
    // 6 higher everywhere: 0x10 + 6 prints 0016, which reads as 16 in
    // decimal on three lines; the offset explains all six.
    EXPECT_EQ(causesOf("0006 START\n0016 LOOP\n0018 NEXT\n0019 DONE\n0026 HALT\n002C BUF\n"),
              Causes{"addresses off by +6 (6 lines)"});
    EXPECT_EQ(causesOf("0000 START\n0016 LOOP\n0018 NEXT\n0019 DONE\n0032 HALT\n0038 BUF\n"),
              Causes{"addresses in decimal (5 lines)"});
}

// An assembler that counts short operations as 3 bytes and RESW as bytes,
// printing in decimal: past line 3 the offsets go every way, as no single
// cause tells, but the lines read exactly as the reference's values in
// decimal still say how the file writes them.
TEST(Findings, TellADecimalFileWhoseOtherLinesGoEveryWay)
{
    constexpr std::string_view program = "1000 FACT\n1000 MAIN\n1010 RFACT\n102D RECUR\n1040 UNWIND\n104E HALT\n"
                                         "1051 NUM\n1054 RESULT\n1057 SP\n000C DEPTH\n105A STACK\n107E STKEND\n"
                                         "0024 STKLEN\n";
    std::string file = "004096 FACT\n004096 MAIN\n004112 RFACT\n004142 RECUR\n004161 UNWIND\n004176 HALT\n"
                       "004179 NUM\n004180 RESULT\n004181 SP\n000012 DEPTH\n004184 STACK\n004196 STKEND\n"
                       "000012 STKLEN\n";
    EXPECT_EQ(causesOf(file, program), Causes{"addresses in decimal (5 lines)"});
    // A typo on line 2 leaves as few lines in runs in decimal as in hex
    // (two, that agree on an offset by chance): the four lines exact in
    // decimal choose the base.
    file[17] = '8';
    EXPECT_EQ(causesOf(file, program),
              (Causes{"addresses in decimal (5 lines)", "addresses off by +2 on reference lines 6 to 7 (2 lines)"}));
}

TEST(Findings, CallOneMistypedLineNoPattern)
{
    EXPECT_EQ(causesOf("0000 START\n0016 LOOP\n0012 NEXT\n0013 DONE\n0020 HALT\n0026 BUF\n"), Causes{});
    EXPECT_EQ(causesOf("0000 START\n0010 LOOP\n0012 NEXT\n0013 DONE\nE020 HALT\n0026 BUF\n"), Causes{});
    EXPECT_EQ(causesOf("0000 START\n0010 loop\n0012 NEXT\n0013 DONE\n0020 HALT\n0026 BUF\n"), Causes{});
    // Two typos side by side that happen to share an offset, the file going
    // on as before after them: no range of one offset is that short.
    std::string text = longReference(20);
    std::string typos = text;
    typos[3 * 11 + 0] = '1';  // lines 4 and 5 start 1 instead of 0: +0x1000
    typos[4 * 11 + 0] = '1';
    EXPECT_EQ(causesOf(typos, text), Causes{});
}

TEST(Findings, TellALineOutOfPlaceAsMovedNotAsLeftOut)
{
    EXPECT_EQ(causesOf("0000 START\n0012 NEXT\n0013 DONE\n0020 HALT\n0026 BUF\n0010 LOOP\n"),
              Causes{"line 2 printed after line 6"});
    EXPECT_EQ(causesOf("0000 START\n0010 LOOP\n0013 DONE\n0012 NEXT\n0020 HALT\n0026 BUF\n"),
              Causes{"line 4 printed after line 2"});
    // A header above a line out of place stands before that line, not at
    // the end: no line of the file's run comes after it to say where.
    EXPECT_EQ(causesOf("ADDR SYMBOL\n0012 NEXT\n0000 START\n0010 LOOP\n0013 DONE\n0020 HALT\n0026 BUF\n"),
              (Causes{"a line added before line 3 (what follows is a line late)", "line 3 printed before line 1"}));
    // After a line of no reference line's (HALT mistyped twice over), the
    // line out of place is told before the line it precedes, not after
    // the last line known, which it does not follow.
    EXPECT_EQ(causesOf("0000 START\n0021 HAXT\n0026 BUF\n0010 LOOP\n0012 NEXT\n0013 DONE\n"),
              Causes{"line 6 printed before line 2"});
}

TEST(Findings, TellAShiftWhereTheSlipIs)
{
    EXPECT_EQ(causesOf("0000 START\n0012 NEXT\n0013 DONE\n0020 HALT\n0026 BUF\n"),
              Causes{"line 2 left out (what follows is a line early)"});
    EXPECT_EQ(causesOf("Address Label\n0000 START\n0010 LOOP\n0012 NEXT\n0013 DONE\n0020 HALT\n0026 BUF\n"),
              Causes{"a line added before line 1 (what follows is a line late)"});
    EXPECT_EQ(causesOf("0000 START\n0010 LOOP\n0012 NEXT\n0013 DONE\n0020 HALT\n"),
              Causes{"the reference's last line left out"});
    // A typo on the first line after the slip does not move it.
    EXPECT_EQ(causesOf("0000 START\n0012 NEXX\n0013 DONE\n0020 HALT\n0026 BUF\n"),
              Causes{"line 2 left out (what follows is a line early)"});
    std::string text = longReference(30);
    std::string twoOut = text.substr(0, 11 * 9) + text.substr(11 * 11);
    EXPECT_EQ(causesOf(twoOut, text), Causes{"lines 10 and 11 left out (what follows is 2 lines early)"});
}

TEST(Findings, TellAShiftTogetherWithAFormOrCase)
{
    EXPECT_EQ(causesOf("0000 start\n0012 next\n0013 done\n0020 halt\n0026 buf\n"),
              (Causes{"line 2 left out (what follows is a line early)", "labels right but for letter case (5 lines)"}));
    EXPECT_EQ(causesOf("ADDR SYMBOL\n0 START\n10 LOOP\n12 NEXT\n13 DONE\n20 HALT\n26 BUF\n"),
              (Causes{"a line added before line 1 (what follows is a line late)",
                      "addresses written with another width (5 lines)"}));
}

TEST(Findings, TellAddressesInAnotherFormAndOffsetsWithTheirRange)
{
    EXPECT_EQ(causesOf("0x0 START\n0x10 LOOP\n0x12 NEXT\n0x13 DONE\n0x20 HALT\n0x26 BUF\n"),
              Causes{"addresses written with a 0x prefix and another width (6 lines)"});
    // One line alone, which may be a typo, does not show where a range
    // starts; two do.
    EXPECT_EQ(causesOf("0000 START\n000F LOOP\n0011 NEXT\n0012 DONE\n001F HALT\n0025 BUF\n"),
              Causes{"addresses off by -1 from reference line 1 or 2 on (5 lines)"});
    EXPECT_EQ(causesOf("0000 START\n0010 LOOP\n0011 NEXT\n0012 DONE\n001F HALT\n0025 BUF\n"),
              Causes{"addresses off by -1 from reference line 3 on (4 lines)"});
    std::string text = longReference(20);
    std::string later;
    std::string_view rest = text;
    for (int line = 0; !rest.empty(); ++line) {
        std::string_view one = nextLine(rest);
        if (line < 7) {
            later += std::string(one) + "\n";
            continue;
        }
        char address[16];
        std::snprintf(address, sizeof address, "%04X", 3 * line + 0x100);
        later += address + std::string(one.substr(4)) + "\n";
    }
    EXPECT_EQ(causesOf(later, text), Causes{"addresses off by +256 (+0x100) from reference line 8 on (13 lines)"});
}

TEST(Findings, TellLabelsInAnotherCaseCutShortOrSwapped)
{
    EXPECT_EQ(causesOf("0000 start\n0010 loop\n0012 NEXT\n0013 DONE\n0020 HALT\n0026 BUF\n"),
              Causes{"labels right but for letter case (2 lines)"});
    EXPECT_EQ(causesOf("START 0000\nLOOP 0010\n0012 NEXT\n0013 DONE\n0020 HALT\n0026 BUF\n"),
              Causes{"address and label swapped (2 lines)"});
    EXPECT_EQ(causesOf("0000 STA\n0010 LOO\n0012 NEX\n0013 DON\n0020 HAL\n0026 BUF\n"),
              Causes{"labels cut to 3 characters (5 lines)"});
}

TEST(Findings, TellNoPatternThatExplainsLessThanMostWrongLines)
{
    std::string text = longReference(12);
    std::string student = text;
    // Two labels in lower case, and four lines mistyped past telling.
    for (int line : {0, 1})
        for (int i = 5; i < 10; ++i)
            student[static_cast<std::size_t>(11 * line + i)] = static_cast<char>(std::tolower(student[11 * line + i]));
    for (int line : {4, 6, 8, 10})
        student.replace(static_cast<std::size_t>(11 * line), 10, "ZZZZ ZZZZZ");
    EXPECT_EQ(causesOf(student, text), Causes{});
}

TEST(Findings, MarkOnlyTheWrongLinesNoCauseExplains)
{
    // A lower-case file with one typo: the case is one piece of evidence,
    // the typo another, at the reference line it holds.
    Watched watched = watch("0000 start\n0010 loop\n0012 nexx\n0013 done\n0020 halt\n0026 buf\n", reference, 7);
    MarkPlaces places({6});
    ASSERT_EQ(watched.tally.marks.size(), 2u);
    EXPECT_EQ(places.placeOf(watched.tally.marks[0].place).line, 2u);
    EXPECT_FALSE(places.placeOf(watched.tally.marks[0].place).causes);
    EXPECT_TRUE(places.placeOf(watched.tally.marks[1].place).causes);
    EXPECT_EQ(watched.tally.marks[0].student, 7u);
    // Every wrong line is counted for the summary, with its text.
    EXPECT_EQ(watched.tally.wrongLines.lines.size(), 6u);
    EXPECT_EQ(watched.tally.wrongLines.textOf(watched.tally.wrongLines.lines[2]), "0012 nexx");
}

TEST(Findings, MarkTheSameEvidenceWhateverTheBlanksAndLineEnds)
{
    std::string_view plain = "0000 START\n0010 LOOP\n0012 NEXX\n0013 DONE\n0020 HALT\n0026 BUF\n";
    Watched first = watch(plain);
    for (std::string_view disguised : {"0000\tSTART\n0010\tLOOP\n0012\tNEXX\n0013\tDONE\n0020\tHALT\n0026\tBUF\n",
                                       "0000 START \n0010 LOOP \n0012 NEXX \n0013 DONE \n0020 HALT \n0026 BUF \n"}) {
        Watched second = watch(disguised);
        ASSERT_EQ(second.tally.marks.size(), first.tally.marks.size());
        EXPECT_EQ(second.tally.marks[0].hash, first.tally.marks[0].hash);
    }
    // With CR LF: the same line, and nothing more: how a file was saved
    // is no assembler's mistake.
    Watched crlf = watch("0000 START\r\n0010 LOOP\r\n0012 NEXX\r\n0013 DONE\r\n0020 HALT\r\n0026 BUF\r\n");
    ASSERT_EQ(crlf.tally.marks.size(), 1u);
    EXPECT_EQ(crlf.tally.marks[0].hash, first.tally.marks[0].hash);
}

TEST(Findings, MarkWhatIsLeftOnceTheToldCausesAreUndone)
{
    // A lowercased label with a wrong address is the wrong address; so is
    // a wrong label among addresses all off by one: each the same mark as
    // in a file with no cause, and the set of mistakes one mark more.
    Watched address = watch("0000 START\n0010 LOOP\n0012 NEXT\n0031 DONE\n0020 HALT\n0026 BUF\n");
    Watched lowered = watch("0000 start\n0010 loop\n0012 next\n0031 done\n0020 halt\n0026 buf\n");
    ASSERT_EQ(address.tally.marks.size(), 1u);
    ASSERT_EQ(lowered.tally.marks.size(), 2u);
    EXPECT_EQ(lowered.tally.marks[0].hash, address.tally.marks[0].hash);
    Watched label = watch("0000 START\n0010 LOOP\n0012 NEXX\n0013 DONE\n0020 HALT\n0026 BUF\n");
    Watched offset = watch("0001 START\n0011 LOOP\n0013 NEXX\n0014 DONE\n0021 HALT\n0027 BUF\n");
    ASSERT_EQ(offset.tally.marks.size(), 2u);
    EXPECT_EQ(offset.tally.marks[0].hash, label.tally.marks[0].hash);
    // Two files with the same mistakes share the set's mark.
    Watched again = watch("0001 START\n0011 LOOP\n0013 NEXT\n0014 DONF\n0021 HALT\n0027 BUF\n");
    ASSERT_EQ(again.tally.marks.size(), 2u);
    EXPECT_EQ(again.tally.marks[1].hash, offset.tally.marks[1].hash);
    EXPECT_NE(again.tally.marks[0].hash, offset.tally.marks[0].hash);
}

TEST(Findings, MarkLabelsCutOnTooFewLinesToTellAsTheSetAToldCutMakes)
{
    // Twelve lines, two of them mistyped past telling: labels cut to four
    // characters on two lines are too few to tell, yet they are one
    // mistake of the assembler's, as on every line, not two hand edits.
    std::string text = longReference(12);
    auto fileOf = [&](int cutLines) {
        std::string student;
        for (int i = 0; i < 12; ++i) {
            std::string line = text.substr(static_cast<std::size_t>(11 * i), 11);
            if (i == 4 || i == 6)
                line = "ZZZZ ZZZZZ\n";
            else if (i < cutLines)
                line.erase(9, 1);
            student += line;
        }
        return student;
    };
    Watched few = watch(fileOf(2), text);
    Watched all = watch(fileOf(12), text);
    EXPECT_EQ(few.causes, Causes{});
    EXPECT_EQ(all.causes, Causes{"labels cut to 4 characters (10 lines)"});
    MarkPlaces places({12});
    auto lines = [&](const Watched& watched) {
        return std::count_if(watched.tally.marks.begin(), watched.tally.marks.end(),
                             [&](const Mark& mark) { return !places.placeOf(mark.place).causes; });
    };
    EXPECT_EQ(lines(few), 2);
    ASSERT_EQ(few.tally.marks.size(), 3u);
    ASSERT_EQ(all.tally.marks.size(), 3u);
    EXPECT_EQ(few.tally.marks.back().hash, all.tally.marks.back().hash);
    // One line cut short is a hand edit like any other.
    Watched one = watch(fileOf(1), text);
    EXPECT_EQ(one.tally.marks.size(), 3u);
    EXPECT_EQ(lines(one), 3);
}

TEST(Findings, LeaveNoEvidenceInAnEmptyFile)
{
    EXPECT_TRUE(watch("").tally.marks.empty());
}

TEST(Findings, ExplainALargeFileByItsBytesAlone)
{
    std::string text;
    std::string student;
    for (std::size_t line = 0; line < mostKeptLines + 10; ++line) {
        char symbol[32];
        std::snprintf(symbol, sizeof symbol, "%06zX S%zu", line, line);
        text += std::string(symbol) + "\n";
        student += std::string(symbol) + "\r\n";
    }
    Causes causes = causesOf(student, text);
    ASSERT_EQ(causes.size(), 1u);
    EXPECT_EQ(causes[0], "CR LF line ends");
}

namespace {

// longReference(lines) with each line's address moved by `offsets[line]`.
std::string movedBy(int lines, const std::vector<int>& offsets)
{
    std::string text;
    for (int i = 0; i < lines; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "%04X SYM%c%c\n", 3 * i + offsets[static_cast<std::size_t>(i)], 'A' + i / 26,
                      'A' + i % 26);
        text += line;
    }
    return text;
}

}  // namespace

TEST(Findings, TellAnOffsetOnlyOnTheLinesThatShowIt)
{
    std::string text = longReference(16);
    // +3 then +6: the first ends where its own lines end.
    EXPECT_EQ(causesOf(movedBy(16, {0, 0, 3, 3, 3, 3, 3, 3, 3, 6, 6, 6, 6, 6, 6, 6}), text),
              (Causes{"addresses off by +3 on reference lines 3 to 9 (7 lines)",
                      "addresses off by +6 from reference line 10 on (7 lines)"}));
    // Two lines in a row at -1 between +1 and a -3 that holds to the end are
    // a step of their own (a BYTE's +1, then two RESWs' -2 each): the -3
    // does not reach over them, nor start as early as they do.
    EXPECT_EQ(causesOf(movedBy(16, {0, 0, 1, 1, 1, -1, -1, -3, -3, -3, -3, -3, -3, -3, -3, -3}), text),
              (Causes{"addresses off by +1 on reference lines 3 to 5 (3 lines)",
                      "addresses off by -1 on reference lines 6 to 7 (2 lines)",
                      "addresses off by -3 from reference line 8 on (9 lines)"}));
    // RESW statements at a program's end, each counted as n bytes: the
    // offset changes at every symbol, and an EQU of a constant is right.
    EXPECT_EQ(causesOf(movedBy(16, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -2, -4, 0, -4, -28, -24}), text),
              Causes{"addresses below the reference's by an amount that grows by 2 at reference line 11, by 2 at 12 "
                     "and by 24 at 15, to -28 (-0x1C), but line 16 (4 lines)"});
    // But two typos side by side that grow, then the offset before them
    // again, are no steps.
    EXPECT_EQ(causesOf(movedBy(16, {0, 0, 0, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 11, 0x300, 4}), text),
              Causes{"addresses off by +4 from reference line 4 on, but lines 14 and 15 (11 lines)"});
    // Nor two at the file's start that it then leaves for the reference's
    // own addresses: a decimal file's two typos of a thousand each.
    EXPECT_EQ(causesOf(movedBy(16, {0, 0x1000, 0x1000, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), text), Causes{});
    // Not where the file goes on as before them, as after two typos side
    // by side.
    EXPECT_EQ(causesOf(movedBy(16, {0, 0, 0, 3, 3, 3, 3, -1, -1, 3, 3, 3, 3, 3, 3, 3}), text),
              (Causes{"addresses off by +3 from reference line 4 on, but lines 8 and 9 (11 lines)"}));
    // One line alone at another offset may be a typo's, or an EQU of a
    // difference, and ends nothing; but the range is not said to hold on
    // it, nor on a line at another range's offset.
    EXPECT_EQ(causesOf(movedBy(16, {0, 0, 0, 0, 2, 2, 2, 2, 7, 2, 2, 2, 2, 2, 2, 2}), text),
              Causes{"addresses off by +2 from reference line 5 on, but line 9 (11 lines)"});
    EXPECT_EQ(causesOf(movedBy(16, {0, 0, 0, 0, 0, 0, 0, 0, 6, 6, 168, 6, 168, 168, 168, 168}), text),
              Causes{"addresses off by +168 (+0xA8) from reference line 11 on, but line 12 (5 lines)"});
    // One range in two parts, with three lines in a row at another offset
    // between them: each part is told with its own lines.
    EXPECT_EQ(causesOf(movedBy(16, {0, 0, 0, 0, 2, 2, 2, -4, -4, -4, 2, 9, 7, 2, 2, 2}), text),
              (Causes{"addresses off by +2 on reference lines 5 to 7 (3 lines)",
                      "addresses off by -4 on reference lines 8 to 10 (3 lines)",
                      "addresses off by +2 from reference line 11 on, but lines 12 and 13 (4 lines)"}));
    // Two typos side by side at one offset do not part a range.
    EXPECT_EQ(causesOf(movedBy(16, {0, 0, 0, 0, 2, 2, 2, 2, 2, 90, 90, 2, 2, 2, 2, 2}), text),
              Causes{"addresses off by +2 from reference line 5 on, but lines 10 and 11 (10 lines)"});
    // Past a few, how many.
    std::vector<int> many(40, 2);
    many[0] = many[1] = 0;
    for (int at : {20, 22, 24, 26, 30, 32, 34, 36, 38})
        many[static_cast<std::size_t>(at)] = 9 + at;
    EXPECT_EQ(causesOf(movedBy(40, many), longReference(40)),
              Causes{"addresses off by +2 from reference line 3 on, but 9 lines (29 lines)"});
    EXPECT_EQ(causesOf(movedBy(16, {5, 5, 5, 9, 5, 5, 5, 5, 7, 5, 5, 5, 5, 5, 5, 5}), text),
              Causes{"addresses off by +5 on every reference line, but lines 4 and 9 (14 lines)"});
}

TEST(Findings, TellAnOffsetThatGrowsByItsSteps)
{
    std::string text = longReference(16);
    EXPECT_EQ(causesOf(movedBy(16, {0, 0, 0, -1, -1, -1, -2, -2, -2, -3, -3, -3, -4, -4, -4, -4}), text),
              Causes{"addresses below the reference's by an amount that grows by 1 at reference lines 4, 7, 10 and 13, "
                     "to -4 (13 lines)"});
    // A typo among the steps is left out of them, and named as lying otherwise.
    EXPECT_EQ(causesOf(movedBy(16, {0, 0, 0, 1, 1, 1, 2, 2, 9, 3, 3, 3, 4, 4, 4, 4}), text),
              Causes{"addresses above the reference's by an amount that grows by 1 at reference lines 4, 7, 10 and 13, "
                     "to +4, but line 9 (12 lines)"});
    // Steps a line long that lie among the others by chance make no
    // staircase; nor do two steps, which two mistakes of their own make.
    // The last line, at another offset, is not claimed.
    EXPECT_EQ(causesOf(movedBy(16, {0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 1, 5}), text),
              Causes{"addresses off by +1 on reference lines 4 to 15, but line 14 (11 lines)"});
    EXPECT_EQ(causesOf(movedBy(16, {0, 0, 0, 1, 1, 1, 1, 1, 3, 3, 3, 3, 3, 3, 3, 3}), text),
              (Causes{"addresses off by +1 on reference lines 4 to 8 (5 lines)",
                      "addresses off by +3 from reference line 9 on (8 lines)"}));
    // Typos that split a range do not make its parts steps, which would
    // outnumber two typos below it that happen to lie in order.
    EXPECT_EQ(causesOf(movedBy(16, {0x100, 0xFB, 0xFC, 0x100, 0x100, 9, 0x100, 0x100, 5, 0x100, 0x100, 7, 0x100,
                                    0x100, 0x101, 0x101}),
                       text),
              (Causes{"addresses off by +256 (+0x100) on reference lines 1 to 14, but lines 2, 3, 6, 9 and 12 (9 lines)",
                      "addresses off by +257 (+0x101) from reference line 15 on (2 lines)"}));
}

namespace {

// A program's symbols, far from sorted by label.
const std::vector<std::string> programLabels = {"COPY",   "FIRST", "CLOOP", "ENDFIL", "EOF",   "RETADR",
                                                "LENGTH", "BUFFER", "MAXLEN", "RDREC", "RLOOP", "EXIT",
                                                "INPUT",  "WRREC", "WLOOP", "OUTPUT"};

std::string programLine(std::size_t line)
{
    char address[8];
    std::snprintf(address, sizeof address, "%04zX ", 3 * line);
    return address + programLabels[line] + "\n";
}

// The program's lines in the order `lines` gives, by their index.
std::string programIn(const std::vector<std::size_t>& lines)
{
    std::string text;
    for (std::size_t line : lines)
        text += programLine(line);
    return text;
}

std::vector<std::size_t> byLabel()
{
    std::vector<std::size_t> lines(programLabels.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        lines[i] = i;
    std::sort(lines.begin(), lines.end(), [](std::size_t a, std::size_t b) { return programLabels[a] < programLabels[b]; });
    return lines;
}

}  // namespace

// A worker keeps the mistakes it fitted to a file's offsets for the files
// after it: the same offsets under another test's program are fitted
// again.  Y lies 4 bytes low: RESW 2 counted as 2 bytes in one program;
// in the other, where X is RESB 6, no mistake gives that.
TEST(Findings, TakeMistakesFittedBeforeOnlyForTheSameTestAndOffsets)
{
    constexpr std::string_view symbols = "0000 P\n0000 X\n0006 Y\n0009 Z\n";
    auto indexed = [&](std::string_view program) {
        ReferenceIndex index = indexReference(symbols);
        index.statements = learnStatements(readProgram(program), index.symbols, index.values, index.hasValue);
        return index;
    };
    ReferenceIndex resw = indexed("P START 0\nX RESW 2\nY WORD 1\nZ WORD 2\n");
    ReferenceIndex resb = indexed("P START 0\nX RESB 6\nY WORD 1\nZ WORD 2\n");
    MarkPlaces places({countLines(symbols)});
    Tally tally;
    FindingsWatcher watcher;
    auto mistakes = [&](const ReferenceIndex& index, std::string_view student) {
        watcher.start(index, places, 0, 0, tally);
        FileLines studentLines = linesOfText(student);
        FileLines referenceLines = linesOfText(symbols);
        auto out = std::make_unique<Output>();
        Graded graded = compareFiles(ReportHeading{}, studentLines, referenceLines, *out, &watcher);
        watcher.finish(graded.counts);
        std::vector<StatementMistake> found;
        for (const FoundMistake& mistake : watcher.mistakes())
            found.push_back(mistake.mistake);
        return found;
    };
    constexpr std::string_view low = "0000 P\n0000 X\n0002 Y\n0005 Z\n";
    EXPECT_EQ(mistakes(resw, low), std::vector{StatementMistake::reswAsBytes});
    EXPECT_TRUE(mistakes(resb, low).empty());
    EXPECT_EQ(mistakes(resw, low), std::vector{StatementMistake::reswAsBytes});
    EXPECT_TRUE(mistakes(resw, "0000 P\n0000 X\n0003 Y\n0006 Z\n").empty());
}

TEST(Findings, TellTheOrderOfAReorderedFile)
{
    std::vector<std::size_t> sorted = byLabel();
    std::vector<std::size_t> inOrder(sorted.rbegin(), sorted.rend());
    std::sort(inOrder.begin(), inOrder.end());
    std::string text = programIn(inOrder);
    EXPECT_EQ(causesOf(programIn(std::vector<std::size_t>(inOrder.rbegin(), inOrder.rend())), text),
              Causes{"lines in the reference's reverse order"});
    EXPECT_EQ(causesOf(programIn(sorted), text), Causes{"lines sorted by label, not in the reference's order"});
    // A line left out, or printed twice, where the file is that much short
    // or long; a typo's label is neither.
    std::vector<std::size_t> withoutRloop = sorted;
    withoutRloop.erase(std::find(withoutRloop.begin(), withoutRloop.end(), 10));
    EXPECT_EQ(causesOf(programIn(withoutRloop), text),
              (Causes{"line 11 left out", "lines sorted by label, not in the reference's order"}));
    std::vector<std::size_t> eofTwice = sorted;
    eofTwice.insert(std::find(eofTwice.begin(), eofTwice.end(), 4), 4);
    EXPECT_EQ(causesOf(programIn(eofTwice), text),
              (Causes{"line 5 printed twice", "lines sorted by label, not in the reference's order"}));
    std::string typo = programIn(sorted);
    typo.replace(typo.find("WLOOP"), 5, "WLOOQ");
    EXPECT_EQ(causesOf(typo, text), Causes{"lines sorted by label, not in the reference's order"});
    EXPECT_EQ(causesOf(programIn({9, 0, 15, 3, 5, 1, 12, 7, 14, 2, 11, 6, 4, 13, 8, 10}), text),
              Causes{"lines in no order found, out of the reference's order in 10 places"});
}

TEST(Findings, TellAHeaderOrAnEmptyLastLineBesideATypoAsNoShift)
{
    EXPECT_EQ(causesOf("Address Label\n0000 STRAT\n0010 LOOP\n0012 NEXT\n0013 DONE\n0020 HALT\n0026 BUF\n"),
              Causes{"a line added before line 1 (what follows is a line late)"});
    EXPECT_EQ(causesOf("0000 START\n0010 LOOP\n0012 NEXT\n0013 DONE\n0020 HALT\n0026 BU\n\n"),
              Causes{"a trailing empty line"});
    // So in the middle: two literals added above NEXT, mistyped, are two
    // lines added, not three; where the third line is no typo of NEXT's,
    // three lines are added, as before.
    EXPECT_EQ(causesOf("0000 START\n0010 LOOP\n0012 =C'EOF'\n0015 =X'05'\n0016 NEXX\n0017 DONE\n0024 HALT\n002A BUF\n"),
              (Causes{"2 lines added before line 3 (what follows is 2 lines late)",
                      "addresses off by +4 from reference line 3 on (2 lines)"}));
    EXPECT_EQ(causesOf("0000 START\n0010 LOOP\n0012 =C'EOF'\n0015 =X'05'\n0016 =X'06'\n0017 DONE\n0024 HALT\n002A BUF\n"),
              (Causes{"3 lines added before line 4 (what follows is 3 lines late)"}));
}

// A file's set of mistakes is one mark whatever the order its causes and
// mistakes come in, and however many they are; a cosmetic cause is no part
// of it, and any other cause or mistake more or less is another mark.
TEST(MistakesKey, IsTheSetOfCausesAndMistakesInAnyOrder)
{
    std::vector<Diagnosis> found;
    for (std::uint32_t line = 1; line <= 20; ++line)
        found.push_back(Diagnosis{Cause::movedLine, 0, false, 1, line});
    std::vector<FoundMistake> mistakes{FoundMistake{StatementMistake::plusSize, -1, 3, 4, 4},
                                       FoundMistake{StatementMistake::reswAsBytes, 0, 7, 2, 0}};
    std::uint64_t key = mistakesKey(found, mistakes);
    EXPECT_NE(key, 0u);
    std::vector<Diagnosis> reversed(found.rbegin(), found.rend());
    std::vector<FoundMistake> swapped(mistakes.rbegin(), mistakes.rend());
    EXPECT_EQ(mistakesKey(reversed, swapped), key);
    std::vector<Diagnosis> withCosmetic = found;
    withCosmetic.push_back(Diagnosis{Cause::crlfLineEnds, 0, false, 3});
    EXPECT_EQ(mistakesKey(withCosmetic, mistakes), key);
    std::vector<Diagnosis> fewer(found.begin(), found.end() - 1);
    EXPECT_NE(mistakesKey(fewer, mistakes), key);
    EXPECT_NE(mistakesKey(found, {mistakes.front()}), key);
    EXPECT_EQ(mistakesKey({}, {}), 0u);
    EXPECT_EQ(mistakesKey({Diagnosis{Cause::crlfLineEnds, 0, false, 3}}, {}), 0u);
}

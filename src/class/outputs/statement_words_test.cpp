// The mistakes' words: the statements they quote, how many more, and a
// size said only where it is known.
#include "class/outputs/statement_words.h"

#include <gtest/gtest.h>

namespace {

TestProgram program()
{
    return {{3, "CLOOP", "+JSUB", "RDREC"}, {9, "EOF", "BYTE", "C'EOF'"}, {12, "MAXLEN", "EQU", "BUFEND-BUFFER"},
            {14, "", "LTORG", ""}};
}

TEST(StatementWords, AFormat4OffsetSaysItsSizeOnlyWhereItIsKnown)
{
    EXPECT_EQ(mistakeWords(FoundMistake{StatementMistake::plusSize, -1, 0, 11, 4}, program()),
              "1 byte short at each `+` statement (`+JSUB RDREC`, source line 3, and 10 more): counted as 3 bytes, "
              "they take 4");
    EXPECT_EQ(mistakeWords(FoundMistake{StatementMistake::plusSize, 2, 0, 1, 0}, program()),
              "2 bytes over at each `+` statement (`+JSUB RDREC`, source line 3)");
}

TEST(StatementWords, EachMistakeQuotesItsStatements)
{
    TestProgram source = program();
    EXPECT_EQ(mistakeWords(FoundMistake{StatementMistake::byteCharLonger, 0, 1, 1, 3}, source),
              "`BYTE C'EOF'` one byte too long");
    EXPECT_EQ(mistakeWords(FoundMistake{StatementMistake::byteCharLonger, 0, 1, 3, 3}, source),
              "`BYTE C'EOF'` one byte too long (and 2 more like it)");
    EXPECT_EQ(mistakeWords(FoundMistake{StatementMistake::equLocation, 0, 2, 1, 0}, source),
              "EQU labels hold the location counter, not their value (`MAXLEN EQU BUFEND-BUFFER`, source line 12)");
    EXPECT_EQ(mistakeWords(FoundMistake{StatementMistake::ltorgMissing, 0, 3, 1, 0}, source),
              "the literals placed at `LTORG` are missing (`LTORG`, source line 14)");
    EXPECT_EQ(mistakeWords(FoundMistake{StatementMistake::reswAsBytes, 0, 0, 1, 0}, source),
              "`RESW n` reserves n bytes, not 3n (1 statement)");
    EXPECT_EQ(mistakeWords(FoundMistake{StatementMistake::equLeftOut, 0, 2, 2, 0}, source),
              "EQU labels left out of the table (`MAXLEN EQU BUFEND-BUFFER`, source line 12, and 1 more)");
    // A statement the program does not hold says nothing.
    EXPECT_EQ(mistakeWords(FoundMistake{StatementMistake::orgIgnored, 0, 9, 1, 0}, source), "");
}

}  // namespace

// Words made once are a mistake's own: a mistake that differs from one
// worded before in any way, or is another test's, is worded anew, and a
// worker that has worded many keeps wording them right.
TEST(StatementWords, WordsMadeOnceAreEachMistakesOwn)
{
    TestProgram first = program();
    TestProgram second = {{5, "COPY", "+LDA", "ZERO"}, {8, "STR", "BYTE", "C'AB'"}};
    WordedMistakes worded;
    std::vector<std::pair<FoundMistake, const TestProgram*>> asked;
    for (std::int64_t bytes = -1; bytes <= 80; ++bytes)
        for (const TestProgram* program : {&first, &second}) {
            asked.emplace_back(FoundMistake{StatementMistake::plusSize, bytes, 0, 11, 4}, program);
            asked.emplace_back(FoundMistake{StatementMistake::plusSize, bytes, 0, 2, 4}, program);
        }
    asked.emplace_back(FoundMistake{StatementMistake::byteCharLonger, 0, 1, 1, 3}, &first);
    asked.emplace_back(FoundMistake{StatementMistake::byteCharLonger, 0, 1, 1, 2}, &second);
    asked.emplace_back(FoundMistake{StatementMistake::count, 0, 0, 1, 0}, &first);
    for (int round = 0; round < 2; ++round)
        for (const auto& [found, program] : asked)
            EXPECT_EQ(*mistakeWordsOnce(worded, program == &first ? 0 : 1, found, *program),
                      mistakeWords(found, *program));
}


// A program's statements as the explaining reads them: free-form columns,
// comments and blank lines skipped, a quote's blanks kept.
#include "class/intake/test_programs.h"

#include <gtest/gtest.h>

namespace {

TEST(TestPrograms, StatementsAreReadInFreeFormColumns)
{
    TestProgram program = readProgram(". a comment line\n"
                                      "COPY START 1000\r\n"
                                      "\n"
                                      "   \t\n"
                                      "        +JSUB   RDREC    call the reader\n"
                                      "EOF\tBYTE\tC'END OF'  a comment\n"
                                      "    .   an indented comment\n"
                                      "         RSUB\n"
                                      "LAST     END");
    ASSERT_EQ(program.size(), 5u);
    EXPECT_EQ(program[0].line, 2u);
    EXPECT_EQ(program[0].label, "COPY");
    EXPECT_EQ(program[0].operation, "START");
    EXPECT_EQ(program[0].operands, "1000");
    EXPECT_EQ(program[1].label, "");
    EXPECT_EQ(program[1].operation, "+JSUB");
    EXPECT_EQ(program[1].operands, "RDREC");
    EXPECT_EQ(program[2].label, "EOF");
    EXPECT_EQ(program[2].operands, "C'END OF'");
    EXPECT_EQ(program[3].operation, "RSUB");
    EXPECT_EQ(program[3].operands, "");
    EXPECT_EQ(program[4].line, 9u);
    EXPECT_EQ(program[4].label, "LAST");
}

}  // namespace

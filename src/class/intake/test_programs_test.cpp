// A program's statements as the explaining reads them: free-form columns,
// comments and blank lines skipped, a quote's blanks kept.
#include "class/intake/test_programs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

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

namespace {

// A scratch folder of programs, gone with the test.
struct Scratch {
    std::string top;
    Scratch()
    {
        char path[] = "/tmp/labelgrade-programs-XXXXXX";
        if (mkdtemp(path) == nullptr)
            std::abort();
        top = path;
    }
    ~Scratch() { std::system(("rm -rf '" + top + "'").c_str()); }
    void file(const std::string& name, const std::string& text) const { std::ofstream(top + "/" + name) << text; }
};

std::vector<::Test> testsNamed(const std::vector<std::string>& names)
{
    std::vector<::Test> tests;
    for (const std::string& name : names)
        tests.push_back(::Test{name, 0, {}, 0, {}, {}});
    return tests;
}

TEST(TestPrograms, EachTestTakesTheProgramNamedAsItsReference)
{
    Scratch scratch;
    scratch.file("t1.asm", "A START 0\n");
    scratch.file("t1.sym", "0000 A\n");  // the reference itself, were both in one folder
    scratch.file("t2.lst", "B WORD 1\n");
    scratch.file("t2.s", "C WORD 1\n");
    scratch.file("t10.asm", "D WORD 1\n");
    std::vector<::Test> tests = testsNamed({"t1.sym", "t2.sym", "t3.sym"});
    std::vector<std::string> missing, several;
    std::string error;
    ASSERT_TRUE(loadTestPrograms(scratch.top, tests, missing, several, error)) << error;
    ASSERT_EQ(tests[0].program.size(), 1u);
    EXPECT_EQ(tests[0].program[0].label, "A");
    ASSERT_EQ(tests[1].program.size(), 1u);
    EXPECT_EQ(tests[1].program[0].label, "B");  // t2.lst before t2.s, by name
    EXPECT_TRUE(tests[2].program.empty());
    EXPECT_EQ(missing, std::vector<std::string>{"t3.sym"});
    EXPECT_EQ(several, std::vector<std::string>{"t2.sym"});
}

TEST(TestPrograms, AFolderOrProgramThatCannotBeReadIsTheRunsTrouble)
{
    Scratch scratch;
    std::vector<::Test> tests = testsNamed({"t1.sym"});
    std::vector<std::string> missing, several;
    std::string error;
    EXPECT_FALSE(loadTestPrograms(scratch.top + "/none", tests, missing, several, error));
    EXPECT_NE(error.find("could not read the folder"), std::string::npos);
    mkdir((scratch.top + "/t1.d").c_str(), 0777);
    error.clear();
    EXPECT_FALSE(loadTestPrograms(scratch.top, tests, missing, several, error));
    EXPECT_NE(error.find("not a test program"), std::string::npos);
}

}  // namespace

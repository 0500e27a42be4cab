// A test's file found among what a student handed in, by each rule in
// turn, and no guess where two files are alike.
#include "class/intake/file_matching.h"

#include <gtest/gtest.h>

namespace {

std::vector<HandedIn> handedIn(std::vector<std::string> names, std::vector<std::string> inUpload = {})
{
    std::vector<HandedIn> files;
    for (std::string& name : names)
        files.push_back(HandedIn{name, name, false});
    for (std::string& name : inUpload)
        files.push_back(HandedIn{name.substr(name.rfind('/') + 1), "lab3.zip/" + name, true});
    return files;
}

// The names a match found, in order.
std::vector<std::string> found(std::string_view test, const std::vector<HandedIn>& files)
{
    std::vector<std::string> names;
    for (std::size_t i : matchTest(test, files).found)
        names.push_back(files[i].shown);
    return names;
}

using Names = std::vector<std::string>;

}  // namespace

TEST(MatchTest, PrefersTheTestsOwnNameToEveryOther)
{
    std::vector<HandedIn> files = handedIn({"T1.SYM", "t1-3.sym", "t1.sym", "t1.sym.txt"});
    EXPECT_EQ(found("t1.sym", files), Names{"t1.sym"});
    EXPECT_EQ(matchTest("t1.sym", files).rule, MatchRule::name);
}

TEST(MatchTest, TriesEachRuleInTurn)
{
    EXPECT_EQ(found("t1.sym", handedIn({"T1.SYM", "t1-1.sym"})), Names{"T1.SYM"});
    EXPECT_EQ(found("t1.sym", handedIn({"t1 (1).sym", "t1-1.sym"})), Names{"t1-1.sym"});
    EXPECT_EQ(found("t1.sym", handedIn({"t1.sym.txt", "t1 (2).sym"})), Names{"t1 (2).sym"});
    EXPECT_EQ(found("t1.sym", handedIn({"notes.txt", "T1.SYM.TXT"})), Names{"T1.SYM.TXT"});
    // A rename in another letter case is a rename all the same.
    EXPECT_EQ(found("t1.sym", handedIn({"T1-1.SYM"})), Names{"T1-1.SYM"});
}

TEST(MatchTest, TakesTheHighestNumberOfARenamedFile)
{
    EXPECT_EQ(found("t1.sym", handedIn({"t1-1.sym", "t1-10.sym", "t1-2.sym"})), Names{"t1-10.sym"});
    EXPECT_EQ(found("t1.sym", handedIn({"t1 (1).sym", "t1 (3).sym"})), Names{"t1 (3).sym"});
}

TEST(MatchTest, NamesBothOfTwoFilesNoRuleCanOrder)
{
    EXPECT_EQ(found("t1.sym", handedIn({"T1.SYM", "t1.SYM"})), (Names{"T1.SYM", "t1.SYM"}));
    EXPECT_EQ(found("t1.sym", handedIn({"t1-2.sym", "T1-2.sym"})), (Names{"t1-2.sym", "T1-2.sym"}));
}

TEST(MatchTest, LooksInsideUploadsOnlyWhereTheStudentsOwnFilesHaveNone)
{
    EXPECT_EQ(found("t1.sym", handedIn({"notes.txt"}, {"lab3/t1.sym"})), Names{"lab3.zip/lab3/t1.sym"});
    EXPECT_EQ(found("t1.sym", handedIn({"T1.sym"}, {"lab3/t1.sym"})), Names{"T1.sym"});
    EXPECT_EQ(found("t1.sym", handedIn({}, {"a/t1.sym", "b/t1.sym"})), (Names{"lab3.zip/a/t1.sym", "lab3.zip/b/t1.sym"}));
    EXPECT_TRUE(matchTest("t1.sym", handedIn({}, {"lab3/t1.sym"})).inUpload);
}

TEST(MatchTest, FindsNothingThatOnlyLooksLikeTheTest)
{
    for (const char* name : {"t1.sy", "t1-.sym", "t1-x.sym", "t1 (1.sym", "t10.sym", "xt1.sym", "t1.sym.bak",
                             "t1-1.sym.txt", "t1 (-1).sym"})
        EXPECT_TRUE(found("t1.sym", handedIn({name})).empty()) << name;
    // A test without an extension still has renames.
    EXPECT_EQ(found("prog3", handedIn({"prog3-2"})), Names{"prog3-2"});
}

// The names the run gives students' folders and feedback entries: what
// Windows refuses, what shows nothing, and what is too long.
#include "class/outputs/file_names.h"

#include "io/visible_text.h"

#include <gtest/gtest.h>

TEST(FileNames, ToldApartWhereWindowsRefusesThem)
{
    for (std::string_view refused : {"CON", "con", "Aux.txt", "nul.tar.gz", "COM1", "lpt9.sym", "PRN .txt", "ann.",
                                     "ann ", "..."})
        EXPECT_TRUE(refusedByWindows(refused)) << refused;
    for (std::string_view taken : {"CONSOLE", "COM0", "com10", "LPT", "ann", "ann.b", ".ann", "xcon"})
        EXPECT_FALSE(refusedByWindows(taken)) << taken;
    EXPECT_EQ(portableName("CON"), "_CON");
    EXPECT_EQ(portableName("aux.sym"), "_aux.sym");
    EXPECT_EQ(portableName("ann."), "ann_");
    EXPECT_EQ(portableName("ann "), "ann_");
    EXPECT_EQ(portableName("."), "_");
    EXPECT_EQ(portableName(".."), "._");
    EXPECT_EQ(portableName(""), "_");
}

TEST(FileNames, ReplaceWhatShowsNothingOrSteers)
{
    EXPECT_EQ(portableName("bo\xe2\xa0\x80" "b"), "bo_b");        // Braille blank
    EXPECT_EQ(portableName("ca\xe1\x9a\x80rol"), "ca_rol");       // Ogham space mark
    EXPECT_EQ(portableName("x\xe2\x80\xaey\xef\xbb\xbf"), "x_y_");  // right-to-left override, byte-order mark
    EXPECT_EQ(portableName("a\x1b[2J\xff:b"), "a_[2J__b");
    EXPECT_EQ(portableName("Jos\xc3\xa9 Lee"), "Jos\xc3\xa9 Lee");
    EXPECT_TRUE(holdsUnseen("a\xe2\x80\x8b" "b"));
    EXPECT_TRUE(holdsUnseen("a\xc3"));
    EXPECT_FALSE(holdsUnseen("Jos\xc3\xa9 Lee"));
}

TEST(FileNames, ShortenedBetweenCharactersAndApart)
{
    std::string accented;
    for (int i = 0; i < 200; ++i)
        accented += "\xc3\xa9";
    std::string plain(300, 'm');
    std::string alike = plain + "n";
    for (const std::string& name : {accented, plain, alike, accented + ".", "CON" + plain}) {
        std::string portable = portableName(name);
        EXPECT_LE(portable.size(), longestNamePart) << name;
        EXPECT_TRUE(wellFormedUtf8(portable)) << portable;
        EXPECT_EQ(portableName(portable), portable) << portable;
    }
    EXPECT_NE(portableName(plain), portableName(alike));
    EXPECT_EQ(shortenedName("short"), "short");
    EXPECT_EQ(shortenedName(plain).substr(0, 100), plain.substr(0, 100));
}

// Blackboard's ".xls" download read as UTF-8 and written back byte for
// byte, and what could not be written back refused.
#include "class/outputs/utf16_text.h"

#include <gtest/gtest.h>

TEST(Utf16Text, ReadsAndWritesBackEveryPlane)
{
    // A mark, ASCII, "ë", "€" and an emoji, a surrogate pair.
    std::string bytes("\xFF\xFE" "A\0\t\0\xEB\0\xAC\x20\x3D\xD8\x42\xDE\r\0\n\0", 18);
    ASSERT_TRUE(looksUtf16le(bytes));
    std::string text;
    ASSERT_TRUE(utf16leToUtf8(bytes, text));
    EXPECT_EQ(text, "\xEF\xBB\xBF" "A\t\xC3\xAB\xE2\x82\xAC\xF0\x9F\x99\x82\r\n");
    EXPECT_EQ(utf8ToUtf16le(text), bytes);
}

TEST(Utf16Text, RefusesWhatCouldNotBeWrittenBack)
{
    std::string text;
    EXPECT_FALSE(utf16leToUtf8(std::string("A\0B", 3), text));
    EXPECT_FALSE(utf16leToUtf8(std::string("\x3D\xD8" "A\0", 4), text));  // a high surrogate alone
    EXPECT_FALSE(utf16leToUtf8(std::string("\x42\xDE", 2), text));         // a low one first
    EXPECT_FALSE(looksUtf16le("\xEF\xBB\xBF\"Last Name\""));
    EXPECT_FALSE(looksUtf16le("Last Name,Username"));
    EXPECT_TRUE(looksUtf16le(std::string("L\0a\0", 4)));
}

// What is shown escaped, checked against Unicode's own categories as GNU
// libunistring reads them, and texts cut to a bound without breaking a
// character.
#include "io/visible_text.h"

#include <gtest/gtest.h>
#include <unictype.h>

namespace {

// Every character that is a control, a format character, a separator or a
// space (but the blank), or that Unicode says to ignore where it is not
// supported: none of them may pass as what it looks like.
bool unseenByUnicode(ucs4_t codePoint)
{
    uc_general_category_t unseen = uc_general_category_or(
        uc_general_category_or(UC_CATEGORY_Cc, UC_CATEGORY_Cf),
        uc_general_category_or(uc_general_category_or(UC_CATEGORY_Zs, UC_CATEGORY_Zl), UC_CATEGORY_Zp));
    return uc_is_general_category(codePoint, unseen) || uc_is_property_default_ignorable_code_point(codePoint);
}

std::string utf8Of(std::uint32_t codePoint)
{
    std::string text;
    if (codePoint < 0x800) {
        text += static_cast<char>(0xC0 | codePoint >> 6);
    } else if (codePoint < 0x10000) {
        text += static_cast<char>(0xE0 | codePoint >> 12);
        text += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | codePoint >> 18);
        text += static_cast<char>(0x80 | (codePoint >> 12 & 0x3F));
        text += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
    }
    text += static_cast<char>(0x80 | (codePoint & 0x3F));
    return text;
}

}  // namespace

TEST(VisibleText, EscapesEveryCharacterUnicodeSaysShowsNothing)
{
    for (ucs4_t codePoint = 0x80; codePoint < 0x110000; ++codePoint) {
        if (codePoint >= 0xD800 && codePoint <= 0xDFFF)
            continue;
        if (unseenByUnicode(codePoint)) {
            EXPECT_TRUE(isInvisible(codePoint)) << std::hex << codePoint;
        }
    }
    // Drawn as blanks, though Unicode names them symbols or letters.
    for (std::uint32_t blank : {0x2800u, 0x3164u, 0x115Fu, 0xFFA0u})
        EXPECT_TRUE(isInvisible(blank)) << std::hex << blank;
    EXPECT_EQ(visibleText("ann\xe2\xa0\x80\xe1\x9a\x80" "b", true), "ann\\u{2800}\\u{1680}b");
    // Letters stay as they are.
    EXPECT_FALSE(isInvisible(0xE9));
    EXPECT_FALSE(isInvisible(0x4E00));
}

TEST(VisibleText, CutsBetweenCharacters)
{
    for (std::uint32_t codePoint : {0xE9u, 0x20ACu, 0x1F600u}) {
        std::string text = "ab";
        for (int i = 0; i < 4; ++i)
            text += utf8Of(codePoint);
        for (std::size_t most = 0; most <= text.size() + 1; ++most) {
            std::size_t kept = characterPrefix(text, most);
            EXPECT_LE(kept, most);
            EXPECT_TRUE(wellFormedUtf8(text.substr(0, kept))) << most;
            EXPECT_GT(kept + utf8Of(codePoint).size(), std::min(most, text.size())) << most;
        }
    }
    // Bytes that are no UTF-8 are cut where the bound falls.
    EXPECT_EQ(characterPrefix("\x80\x80\x80\x80\x80", 3), 3u);
    EXPECT_EQ(characterPrefix("\xe2\x82", 1), 1u);
}

#include "visible_text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char hexDigits[] = "0123456789abcdef";

std::size_t byteEscape(unsigned char byte, char (&scratch)[16])
{
    scratch[0] = '\\';
    scratch[1] = 'x';
    scratch[2] = hexDigits[byte >> 4];
    scratch[3] = hexDigits[byte & 0xF];
    return 4;
}

std::size_t codePointEscape(std::uint32_t codePoint, char (&scratch)[16])
{
    int size = std::snprintf(scratch, sizeof scratch, "\\u{%X}", static_cast<unsigned>(codePoint));
    return static_cast<std::size_t>(size);
}

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}


struct Range {
    std::uint32_t first;
    std::uint32_t last;
};

// Characters that steer a terminal, show nothing, or look like a blank or
// like nothing at all: with them two different texts would look the same.
// Every control, format character, separator, space and default-ignorable
// character Unicode names, as GNU libunistring reads them (a unit test
// holds the table to it), and the few that are none of those but draw a
// blank all the same.  `labelgrade` links no library for this table alone.
constexpr Range invisibleRanges[] = {
    {0x0080, 0x00A0},    // C1 controls, no-break space
    {0x00AD, 0x00AD},    // soft hyphen
    {0x034F, 0x034F},    // combining grapheme joiner
    {0x0600, 0x0605},    // Arabic number signs, which steer the digits after them
    {0x061C, 0x061C},    // Arabic letter mark
    {0x06DD, 0x06DD},    // Arabic end of ayah
    {0x070F, 0x070F},    // Syriac abbreviation mark
    {0x0890, 0x0891},    // Arabic pound and piastre marks above
    {0x08E2, 0x08E2},    // Arabic disputed end of ayah
    {0x115F, 0x1160},    // Hangul fillers
    {0x1680, 0x1680},    // Ogham space mark
    {0x17B4, 0x17B5},    // Khmer inherent vowels
    {0x180B, 0x180F},    // Mongolian variation selectors and vowel separator
    {0x2000, 0x200F},    // spaces, zero-width characters, directional marks
    {0x2028, 0x202F},    // line and paragraph separators, bidirectional embeddings
    {0x205F, 0x206F},    // spaces, word joiner, invisible operators, bidirectional isolates
    {0x2800, 0x2800},    // Braille blank: a symbol, drawn as a blank
    {0x3000, 0x3000},    // ideographic space
    {0x3164, 0x3164},    // Hangul filler
    {0xFE00, 0xFE0F},    // variation selectors
    {0xFEFF, 0xFEFF},    // byte-order mark
    {0xFFA0, 0xFFA0},    // halfwidth Hangul filler
    {0xFFF0, 0xFFFB},    // reserved as ignorable, interlinear annotation
    {0x110BD, 0x110BD},  // Kaithi number sign
    {0x110CD, 0x110CD},  // Kaithi number sign above
    {0x13430, 0x1343F},  // Egyptian hieroglyph format controls
    {0x1BCA0, 0x1BCA3},  // shorthand format controls
    {0x1D173, 0x1D17A},  // musical format characters
    {0xE0000, 0xE0FFF},  // tags, variation selectors supplement
};


bool namesUtf8(const char* value)
{
    if (value == nullptr)
        return false;
    for (const char* at = value; *at != '\0'; ++at)
        if (strncasecmp(at, "UTF-8", 5) == 0 || strncasecmp(at, "UTF8", 4) == 0)
            return true;
    return false;
}

}  // namespace

std::size_t decodeUtf8(std::string_view text, std::uint32_t& codePoint)
{
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = at(0);
    std::size_t length;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0;  // no overlong forms
        if (lead == 0xED)
            high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length || at(1) < low || at(1) > high)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if (!isContinuation(at(i)))
            return 0;
        codePoint = codePoint << 6 | (at(i) & 0x3F);
    }
    return length;
}

bool isInvisible(std::uint32_t codePoint)
{
    for (const Range& range : invisibleRanges)
        if (codePoint >= range.first && codePoint <= range.last)
            return true;
    return false;
}

bool terminalReadsUtf8()
{
    // The first of these that is set and not empty is the locale in force.
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return namesUtf8(value);
    }
    return false;
}

std::size_t nextVisiblePiece(std::string_view text, bool utf8, char (&scratch)[16], std::string_view& shown)
{
    auto byte = static_cast<unsigned char>(text[0]);
    auto fromScratch = [&](std::size_t size) { shown = std::string_view(scratch, size); };
    if (byte == '\\') {
        shown = "\\\\";
        return 1;
    }
    if (byte == '\r') {
        shown = "\\r";
        return 1;
    }
    if (byte == '\n') {
        shown = "\\n";
        return 1;
    }
    if ((byte < 0x20 && byte != '\t') || byte == 0x7F || (byte >= 0x80 && !utf8)) {
        fromScratch(byteEscape(byte, scratch));
        return 1;
    }
    if (byte < 0x80) {
        // A run of plain bytes goes out as one piece.
        std::size_t end = 1;
        while (end < text.size()) {
            auto next = static_cast<unsigned char>(text[end]);
            if (next < 0x20 || next >= 0x7F || next == '\\')
                break;
            ++end;
        }
        shown = text.substr(0, end);
        return end;
    }
    std::uint32_t codePoint = 0;
    std::size_t length = decodeUtf8(text, codePoint);
    if (length == 0) {
        fromScratch(byteEscape(byte, scratch));
        return 1;
    }
    if (isInvisible(codePoint))
        fromScratch(codePointEscape(codePoint, scratch));
    else
        shown = text.substr(0, length);
    return length;
}

std::string visibleLines(std::string_view text, bool utf8)
{
    // Most reports are plain text to the last byte: kept as they are.
    bool plain = std::all_of(text.begin(), text.end(), [](char c) {
        auto byte = static_cast<unsigned char>(c);
        return (byte >= 0x20 && byte < 0x7F && byte != '\\') || byte == '\n' || byte == '\t';
    });
    if (plain)
        return std::string(text);
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    char scratch[16];
    while (!text.empty()) {
        if (text.front() == '\n') {
            out += '\n';
            text.remove_prefix(1);
            continue;
        }
        std::string_view shown;
        text.remove_prefix(nextVisiblePiece(text, utf8, scratch, shown));
        out += shown;
    }
    return out;
}

std::string visibleText(std::string_view text, bool utf8)
{
    std::string out;
    char scratch[16];
    while (!text.empty()) {
        std::string_view shown;
        text.remove_prefix(nextVisiblePiece(text, utf8, scratch, shown));
        out += shown;
    }
    return out;
}

std::size_t characterPrefix(std::string_view text, std::size_t most)
{
    if (most >= text.size())
        return text.size();
    // A well-formed sequence is at most four bytes: at most three to step
    // back over, to the byte that starts it.
    std::size_t at = most;
    for (int back = 0; back < 3 && at > 0 && isContinuation(static_cast<unsigned char>(text[at])); ++back)
        --at;
    std::uint32_t codePoint = 0;
    bool starts = at < most && decodeUtf8(text.substr(at), codePoint) > most - at;
    return starts ? at : most;
}

bool wellFormedUtf8(std::string_view text)
{
    while (!text.empty()) {
        std::uint32_t codePoint = 0;
        std::size_t length = static_cast<unsigned char>(text[0]) < 0x80 ? 1 : decodeUtf8(text, codePoint);
        if (length == 0)
            return false;
        text.remove_prefix(length);
    }
    return true;
}

#include "class/outputs/utf16_text.h"

#include <cstdint>

namespace {

constexpr char32_t highSurrogates = 0xD800;
constexpr char32_t lowSurrogates = 0xDC00;
constexpr char32_t surrogatesEnd = 0xE000;
constexpr char32_t beyondPlane = 0x10000;

char32_t unitAt(std::string_view bytes, std::size_t at)
{
    return static_cast<unsigned char>(bytes[at]) | static_cast<char32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8;
}

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < beyondPlane) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void appendUnit(std::string& out, char32_t unit)
{
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
}

}  // namespace

bool looksUtf16le(std::string_view bytes)
{
    if (bytes.starts_with("\xFF\xFE"))
        return true;
    return bytes.size() >= 2 && bytes[0] != '\0' && static_cast<unsigned char>(bytes[0]) < 0x80 && bytes[1] == '\0';
}

bool utf16leToUtf8(std::string_view bytes, std::string& text)
{
    if (bytes.size() % 2 != 0)
        return false;
    text.clear();
    for (std::size_t at = 0; at < bytes.size(); at += 2) {
        char32_t unit = unitAt(bytes, at);
        if (unit >= lowSurrogates && unit < surrogatesEnd)
            return false;
        if (unit >= highSurrogates && unit < lowSurrogates) {
            if (at + 4 > bytes.size())
                return false;
            char32_t low = unitAt(bytes, at + 2);
            if (low < lowSurrogates || low >= surrogatesEnd)
                return false;
            unit = beyondPlane + ((unit - highSurrogates) << 10) + (low - lowSurrogates);
            at += 2;
        }
        appendUtf8(text, unit);
    }
    return true;
}

std::string utf8ToUtf16le(std::string_view text)
{
    std::string out;
    out.reserve(text.size() * 2);
    for (std::size_t at = 0; at < text.size();) {
        auto byte = static_cast<unsigned char>(text[at]);
        std::size_t length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? byte : length == 2 ? byte & 0x1F : length == 3 ? byte & 0x0F : byte & 0x07;
        for (std::size_t i = 1; i < length && at + i < text.size(); ++i)
            c = c << 6 | (static_cast<unsigned char>(text[at + i]) & 0x3F);
        at += length;
        if (c < beyondPlane) {
            appendUnit(out, c);
            continue;
        }
        c -= beyondPlane;
        appendUnit(out, highSurrogates + (c >> 10));
        appendUnit(out, lowSurrogates + (c & 0x3FF));
    }
    return out;
}

#include "visible_text.h"

#include <cstdint>

namespace {

constexpr char hexDigits[] = "0123456789abcdef";

void appendByteEscape(std::string& out, unsigned char byte)
{
    out += "\\x";
    out += hexDigits[byte >> 4];
    out += hexDigits[byte & 0xF];
}

void appendCodePoint(std::string& out, std::uint32_t codePoint)
{
    out += "<U+";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += "0123456789ABCDEF"[(codePoint >> shift) & 0xF];
    out += '>';
}

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at the start of `text`, and
// its code point; 0 when the first byte does not start one.
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

// Code points that steer a terminal rather than show: the C1 controls, the
// byte-order mark (invisible, it makes equal texts look different), and the
// bidirectional controls, which reorder what follows them.
bool isInvisibleControl(std::uint32_t codePoint)
{
    return (codePoint >= 0x80 && codePoint <= 0x9F) || codePoint == 0xFEFF || codePoint == 0x061C ||
           codePoint == 0x200E || codePoint == 0x200F || (codePoint >= 0x202A && codePoint <= 0x202E) ||
           (codePoint >= 0x2066 && codePoint <= 0x2069);
}

}  // namespace

std::string visibleText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        auto byte = static_cast<unsigned char>(text[0]);
        std::size_t length = 1;
        if (byte == '\\') {
            out += "\\\\";
        } else if (byte == '\r') {
            out += "\\r";
        } else if (byte == '\n') {
            out += "\\n";
        } else if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
            appendByteEscape(out, byte);
        } else if (byte < 0x80) {
            out += static_cast<char>(byte);
        } else {
            std::uint32_t codePoint = 0;
            length = decodeUtf8(text, codePoint);
            if (length == 0) {
                appendByteEscape(out, byte);
                length = 1;
            } else if (isInvisibleControl(codePoint)) {
                appendCodePoint(out, codePoint);
            } else {
                out.append(text.substr(0, length));
            }
        }
        text.remove_prefix(length);
    }
    return out;
}

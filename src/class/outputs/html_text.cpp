#include "class/outputs/html_text.h"

#include "io/visible_text.h"

#include <algorithm>

std::string htmlText(std::string_view text)
{
    std::string out;
    appendHtml(out, text);
    return out;
}

void appendHtml(std::string& out, std::string_view text)
{
    // Most text is plain: printable ASCII with nothing to escape.
    bool plain = std::all_of(text.begin(), text.end(), [](char c) {
        return c >= 0x20 && c < 0x7F && c != '&' && c != '<' && c != '>' && c != '"' && c != '\'' && c != '\\';
    });
    if (plain) {
        out += text;
        return;
    }
    std::string shown = visibleText(text, true);
    for (char c : shown) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
}

std::string percentEncoded(std::string_view segment)
{
    constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : segment) {
        auto byte = static_cast<unsigned char>(c);
        bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
                          byte == '-' || byte == '.' || byte == '_' || byte == '~';
        if (unreserved) {
            out += c;
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 0xF];
        }
    }
    return out;
}

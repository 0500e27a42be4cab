#include "class/outputs/file_names.h"

#include "class/model/ascii_case.h"
#include "class/model/hashing.h"
#include "io/visible_text.h"

#include <array>
#include <cstdio>

namespace {

constexpr std::string_view refusedBytes = "\"*/:<>?\\|";

constexpr std::array<std::string_view, 4> deviceNames = {"CON", "PRN", "AUX", "NUL"};
constexpr std::array<std::string_view, 2> numberedDevices = {"COM", "LPT"};

// The hash that follows a shortened name: "-" and eight hex digits.
constexpr std::size_t hashMarkSize = 9;

bool isDeviceName(std::string_view stem)
{
    for (std::string_view device : deviceNames)
        if (equalIgnoringCase(stem, device))
            return true;
    for (std::string_view device : numberedDevices)
        if (stem.size() == device.size() + 1 && startsIgnoringCase(stem, device) && stem.back() >= '1' &&
            stem.back() <= '9')
            return true;
    return false;
}

// The length of the character at the start of `text`, and whether it is
// one a name may hold as it is.
std::size_t nextCharacter(std::string_view text, bool& seen)
{
    auto byte = static_cast<unsigned char>(text[0]);
    if (byte < 0x80) {
        seen = byte >= 0x20 && byte != 0x7F;
        return 1;
    }
    std::uint32_t codePoint = 0;
    std::size_t length = decodeUtf8(text, codePoint);
    seen = length > 0 && !isInvisible(codePoint);
    return length > 0 ? length : 1;
}

}  // namespace

bool refusedByWindows(std::string_view name)
{
    if (!name.empty() && (name.back() == '.' || name.back() == ' '))
        return true;
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.remove_suffix(1);
    return isDeviceName(stem);
}

bool holdsUnseen(std::string_view name)
{
    for (std::size_t at = 0; at < name.size();) {
        bool seen = true;
        at += nextCharacter(name.substr(at), seen);
        if (!seen)
            return true;
    }
    return false;
}

std::string shortenedName(std::string_view name, std::size_t most)
{
    if (name.size() <= most)
        return std::string(name);
    std::size_t keep = most > hashMarkSize ? most - hashMarkSize : 0;
    char mark[hashMarkSize + 1];
    std::snprintf(mark, sizeof mark, "-%08x", static_cast<unsigned>(hashText(name) & 0xFFFFFFFFu));
    return std::string(name.substr(0, characterPrefix(name, keep))) + mark;
}

std::string portableName(std::string_view name)
{
    std::string portable;
    for (std::size_t at = 0; at < name.size();) {
        bool seen = true;
        std::size_t length = nextCharacter(name.substr(at), seen);
        if (!seen || refusedBytes.find(name[at]) != std::string_view::npos)
            portable += '_';
        else
            portable.append(name.substr(at, length));
        at += length;
    }
    portable = shortenedName(portable);
    // Windows drops a last dot or blank: "ann." would be "ann"'s.
    while (!portable.empty() && (portable.back() == '.' || portable.back() == ' '))
        portable.back() = '_';
    if (refusedByWindows(portable))
        portable = "_" + portable;
    return portable.empty() || portable == "." || portable == ".." ? "_" + portable : portable;
}

// Walking a text line by line: the one rule that every count and index of
// lines follows, so that they all agree.  A line ends with a newline; a last
// line without one is still a line, and an empty text holds none.
#ifndef LABELGRADE_LINE_WALK_H
#define LABELGRADE_LINE_WALK_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

// The size of the line that `text` starts with, when all of it is there:
// its newline has been read, or `final` says that the text ends with it.
inline bool wholeLine(std::string_view text, bool final, std::size_t& size)
{
    if (text.empty())
        return false;
    const void* newline = std::memchr(text.data(), '\n', text.size());
    if (newline == nullptr) {
        size = text.size();
        return final;
    }
    size = static_cast<std::size_t>(static_cast<const char*>(newline) - text.data());
    return true;
}

// Takes the first line, `size` bytes long, and its newline off `text`.
inline std::string_view takeLine(std::string_view& text, std::size_t size)
{
    std::string_view line = text.substr(0, size);
    text.remove_prefix(size < text.size() ? size + 1 : size);
    return line;
}

// Takes the first line of a whole text off it.
inline std::string_view nextLine(std::string_view& text)
{
    std::size_t size = 0;
    wholeLine(text, true, size);
    return takeLine(text, size);
}

// The lines of a text told in pieces.
struct LineCount {
    std::uint64_t newlines = 0;
    bool open = false;  // bytes follow the last newline

    void add(std::string_view piece)
    {
        newlines += static_cast<std::uint64_t>(std::count(piece.begin(), piece.end(), '\n'));
        if (!piece.empty())
            open = piece.back() != '\n';
    }
    std::uint64_t lines() const { return newlines + (open ? 1 : 0); }
};

inline std::uint64_t countLines(std::string_view text)
{
    LineCount count;
    count.add(text);
    return count.lines();
}

#endif

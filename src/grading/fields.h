// The fields of a symbol table line: an address, then a label, separated by
// any run of blanks, tabs, commas and colons.  Fields are compared as text.
#ifndef LABELGRADE_FIELDS_H
#define LABELGRADE_FIELDS_H

#include <array>
#include <string_view>

// Bytes that separate the fields of a line; any run of them is one gap.
constexpr std::string_view fieldDelimiters = " \t,:";

constexpr std::array<bool, 256> delimiterTable()
{
    std::array<bool, 256> table{};
    for (char c : fieldDelimiters)
        table[static_cast<unsigned char>(c)] = true;
    return table;
}

constexpr std::array<bool, 256> isDelimiter = delimiterTable();

struct Symbol {
    std::string_view address;
    std::string_view label;
};

// Fields are never empty, so an empty view stands for a field the line lacks.
inline std::string_view nextField(std::string_view& rest)
{
    std::size_t start = 0;
    while (start < rest.size() && isDelimiter[static_cast<unsigned char>(rest[start])])
        ++start;
    std::size_t end = start;
    while (end < rest.size() && !isDelimiter[static_cast<unsigned char>(rest[end])])
        ++end;
    std::string_view field = rest.substr(start, end - start);
    rest.remove_prefix(end);
    return field;
}

inline Symbol splitEntry(std::string_view entry)
{
    Symbol symbol;
    symbol.address = nextField(entry);
    symbol.label = nextField(entry);
    return symbol;
}

// A label is only found after an address.
inline bool isComplete(const Symbol& symbol)
{
    return !symbol.label.empty();
}

#endif

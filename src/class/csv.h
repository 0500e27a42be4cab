// Fields of a CSV file as RFC 4180 writes them.
#ifndef LABELGRADE_CSV_H
#define LABELGRADE_CSV_H

#include <algorithm>
#include <string>
#include <string_view>

// A field with a comma, a quote, a carriage return or a newline is quoted,
// its quotes doubled; any other is written as it is.
inline void appendCsvField(std::string& out, std::string_view field)
{
    // A plain scan: a gradebook's notes are long, and find_first_of looks
    // up each of their bytes among the four in a call of its own.
    bool plain = std::none_of(field.begin(), field.end(),
                              [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; });
    if (plain) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

#endif

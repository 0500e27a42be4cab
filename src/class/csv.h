// Fields of a CSV file as RFC 4180 writes them.
#ifndef LABELGRADE_CSV_H
#define LABELGRADE_CSV_H

#include <string>
#include <string_view>

// A field with a comma, a quote, a carriage return or a newline is quoted,
// its quotes doubled; any other is written as it is.
inline void appendCsvField(std::string& out, std::string_view field)
{
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
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

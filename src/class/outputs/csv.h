// Fields of a CSV file as RFC 4180 writes them, made safe for the
// spreadsheets that open it.
#ifndef LABELGRADE_CSV_H
#define LABELGRADE_CSV_H

#include <algorithm>
#include <string>
#include <string_view>

// A spreadsheet's import dialog offers the semicolon and the tab as
// separators besides the comma (and many locales split on the semicolon by
// default): a field that holds one is quoted, as one with a comma, a quote
// or a line end is, its quotes doubled.  Any other is written as it is.
inline void appendCsvField(std::string& out, std::string_view field)
{
    // A plain scan: a gradebook's notes are long, and find_first_of looks
    // up each of their bytes among the others in a call of its own.
    bool plain = std::none_of(field.begin(), field.end(), [](char c) {
        return c == ',' || c == '"' || c == '\r' || c == '\n' || c == ';' || c == '\t';
    });
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

// A cell that starts with one of these is a formula to a spreadsheet.
constexpr std::string_view formulaStarts = "=+-@";

// Text that a person reads in a spreadsheet, never run as a formula: where
// it starts like one, or where a semicolon or a tab (which a spreadsheet may
// split a cell at) is followed by such a start, an apostrophe goes first.
// A tab or a carriage return at the start counts too.
inline std::string guardedText(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 1);
    bool cellStart = true;
    for (char c : text) {
        bool startsFormula = formulaStarts.find(c) != std::string_view::npos ||
                             (out.empty() && (c == '\t' || c == '\r'));
        if (cellStart && startsFormula)
            out += '\'';
        out += c;
        cellStart = c == ';' || c == '\t';
    }
    return out;
}

#endif

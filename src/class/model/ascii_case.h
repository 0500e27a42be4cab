// Letter case as file names and labels are compared here, and digits as
// ids are read: ASCII only, so that no locale can make two names one.
#ifndef LABELGRADE_ASCII_CASE_H
#define LABELGRADE_ASCII_CASE_H

#include <algorithm>
#include <string_view>

inline char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool allDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

inline bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

inline bool startsIgnoringCase(std::string_view text, std::string_view start)
{
    return text.size() >= start.size() && equalIgnoringCase(text.substr(0, start.size()), start);
}

inline bool endsIgnoringCase(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && equalIgnoringCase(text.substr(text.size() - end.size()), end);
}

#endif

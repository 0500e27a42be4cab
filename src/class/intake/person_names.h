// Names of people as a person means them: the same name typed on one
// machine and saved by another, or with a blank left over, is one name.
#ifndef LABELGRADE_PERSON_NAMES_H
#define LABELGRADE_PERSON_NAMES_H

#include <string>
#include <string_view>
#include <vector>

// The name without the blanks, tabs and carriage returns around it.
std::string_view trimmedName(std::string_view name);

// What names are matched by, never what is shown: the trimmed name in
// Unicode's composed form (NFC), so that an "é" typed as one character and
// one saved as "e" and an accent match.  A name that is not UTF-8 is
// matched as its bytes.
std::string nameKey(std::string_view name);

// The name spelled out so that names one by nameKey can be told apart on
// any terminal: in double quotes, printable ASCII as it is (but a quote and
// a backslash, escaped), every other character as \u{XXXX} and a byte that
// is not UTF-8 as \xHH ("Jos\u{E9}", "Jose\u{301}", "ann ").
std::string spelledOut(std::string_view name);

// Names that are one by nameKey though they differ byte for byte: each set
// of them, in byte order, the sets in the order of their first names.
std::vector<std::vector<std::string>> lookAlikes(std::vector<std::string> names);

#endif

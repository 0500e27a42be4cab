// Names of people as a person means them: the same name typed on one
// machine and saved by another, or with a blank left over, is one name.
#ifndef LABELGRADE_PERSON_NAMES_H
#define LABELGRADE_PERSON_NAMES_H

#include <string>
#include <string_view>

// The name without the blanks, tabs and carriage returns around it.
std::string_view trimmedName(std::string_view name);

// What names are matched by, never what is shown: the trimmed name in
// Unicode's composed form (NFC), so that an "é" typed as one character and
// one saved as "e" and an accent match.  A name that is not UTF-8 is
// matched as its bytes.
std::string nameKey(std::string_view name);

#endif

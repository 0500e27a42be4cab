// The roster: the students enrolled, each of whom gets a row whether or not
// a folder of theirs was found.
#ifndef LABELGRADE_ROSTER_H
#define LABELGRADE_ROSTER_H

#include "class/model/class.h"

#include <string>
#include <vector>

// The names a roster file holds, one a line, without the blanks around them;
// blank lines are skipped, and a carriage return that ends a line and a
// byte-order mark that starts the file (a roster saved on Windows) are
// dropped.  A roster that is not a regular file is refused unread.
bool readRoster(const std::string& path, std::vector<std::string>& names, std::string& error);

// Marks the students the roster names and adds a row for each one with no
// folder, keeping byte order of names; gives the folders the roster lacks.
// Names are matched as a person means them (see nameKey); a folder's name is
// shown as it is.
std::vector<std::string> applyRoster(std::vector<Student>& students, std::vector<std::string> roster);

#endif

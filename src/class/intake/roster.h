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
// A line names a student by, the first that names any: the course site's
// id for them; their name as a person means it (see nameKey); for a site's
// student, the name as "First Last", "Last, First" or Canvas's "lastfirst"
// (case, blanks and punctuation aside); for a folder of one's own, an
// email whose part before the "@" is the folder's name.  A student's name
// is shown as the download gives it.  Where lines of digits named students
// by the site's id, an absent student's line of digits is their id.
//
// Names that are one by nameKey but differ byte for byte (see lookAlikes)
// are never taken for one another silently: a line that is the name of
// such students names the one whose name it is exactly, else none of
// them; with `warnings`, that and the roster's own look-alike lines are
// said there.
std::vector<std::string> applyRoster(std::vector<Student>& students, std::vector<std::string> roster,
                                     std::vector<std::string>* warnings = nullptr);

// What to warn of students whose names are one by nameKey though they
// differ byte for byte (folders "ann" and "ann "): each is a student of
// their own, whose names the warning spells out.
std::vector<std::string> lookAlikeStudents(const std::vector<Student>& students);

// Students of one name (by nameKey) that a course site tells apart are
// shown with its id for them ("smithsam (200119)"), in every output.
void nameNamesakesApart(std::vector<Student>& students);

#endif

// The students of a class: a folder each in the submissions folder, and
// whoever the roster names.
#ifndef LABELGRADE_STUDENTS_H
#define LABELGRADE_STUDENTS_H

#include "class.h"

#include <string>
#include <utility>
#include <vector>

// What listing the students found worth a warning.
struct Listing {
    std::vector<std::string> ignored;  // entries that are not folders
    // Entries that lead to a folder an earlier entry leads to: a link one
    // student's name makes to another's folder gets that student's grades.
    std::vector<std::pair<std::string, std::string>> sameFolder;
};

// A student for each folder (or link to one) in `submissions` whose name
// does not start with a dot, in byte order of names.  False, with `error`
// saying why, when the folder cannot be read.
bool listStudents(const std::string& submissions, std::vector<Student>& students, Listing& listing,
                  std::string& error);

#endif

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
    // With links followed anywhere: each student's folder that is a link,
    // and the folder it leads to.
    std::vector<std::pair<std::string, std::string>> followed;
};

// A student for each folder in `submissions` whose name does not start with
// a dot, in byte order of names.  A link is a student's folder where it
// leads to a folder inside `submissions`; one that leads out is a student
// whose folder is refused, unless `followLinks` (the instructor gathered
// the folders by links), and then where it led is kept.  False, with
// `error` saying why, when the folder cannot be read.
bool listStudents(const std::string& submissions, bool followLinks, std::vector<Student>& students,
                  Listing& listing, std::string& error);

#endif

// The gradebook: a CSV file with a row per student and a column per test.
#ifndef LABELGRADE_GRADEBOOK_H
#define LABELGRADE_GRADEBOOK_H

#include "class.h"
#include "io/output.h"
#include "options.h"

#include <string>
#include <vector>

// Writes the gradebook, a row at a time.  Plain: student, a column per
// test, total, notes, and an "out of" row.  Canvas: the columns Canvas's
// gradebook imports, with a "Points Possible" row.  With `forTerminal`,
// students' names show their control bytes as escapes (`utf8`: as a UTF-8
// terminal needs them).
void writeGradebook(Output& out, const std::vector<Test>& tests, const std::vector<Student>& students,
                    GradebookFormat format, bool forTerminal, bool utf8);

// Why the student's files that were not graded were not, and what explains
// the points lost in those that were, for the notes column:
// "t1.sym: CR LF line ends; t3.sym: missing".
std::string notesOf(const std::vector<Test>& tests, const Student& student);

#endif

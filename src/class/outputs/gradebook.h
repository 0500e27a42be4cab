// The gradebook: a CSV file with a row per student and a column per test.
#ifndef LABELGRADE_GRADEBOOK_H
#define LABELGRADE_GRADEBOOK_H

#include "class/model/class.h"
#include "io/output.h"

#include <cstdint>
#include <string>
#include <vector>

// The layouts a class's gradebook can take.
enum class GradebookFormat : std::uint8_t { plain, canvas, moodle };

struct GradebookShape {
    GradebookFormat format = GradebookFormat::plain;
    Layout layout = Layout::folders;  // whose ids the students have: Canvas's, Moodle's, none
    std::string assignment;   // Canvas: one column, the total, titled so
    std::string when;         // Moodle: the run's time, "2026-12-09 14:05"
    bool forTerminal = false; // students' text shows its control bytes as escapes
    bool utf8 = true;         // as a UTF-8 terminal needs them
};

// Writes the gradebook, a row at a time.  Plain: student, a column per
// test, total, notes, and an "out of" row.  Canvas: the columns Canvas's
// gradebook imports, with a "Points Possible" row.  Moodle: the grading
// worksheet its assignment takes back.
void writeGradebook(Output& out, const std::vector<Test>& tests, const std::vector<Student>& students,
                    const GradebookShape& shape);

// Why the student's files that were not graded were not, and what explains
// the points lost in those that were, for the notes column:
// "t1.sym: CR LF line ends; t3.sym: missing".
std::string notesOf(const std::vector<Test>& tests, const Student& student);

#endif

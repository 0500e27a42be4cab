// The gradebook: a CSV file with a row per student and a column per test,
// in the plain layout or a course site's.
#ifndef LABELGRADE_GRADEBOOK_H
#define LABELGRADE_GRADEBOOK_H

#include "class/model/class.h"
#include "io/output.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct GradebookShape {
    bool siteIds = false;     // the students' ids are the gradebook's own site's, which it matches them by
    std::string assignment;   // a site's one column, the total, titled so
    std::string when;         // the run's time, "2026-12-09 14:05"
    bool forTerminal = false; // students' text shows its control bytes as escapes
    bool utf8 = true;         // as a UTF-8 terminal needs them
};

// Writes a gradebook, a row at a time.
using GradebookWriter = void (*)(Output& out, const std::vector<Test>& tests, const std::vector<Student>& students,
                                 const GradebookShape& shape);

// The plain gradebook: student, a column per test, total, notes, and an
// "out of" row.
void plainGradebook(Output& out, const std::vector<Test>& tests, const std::vector<Student>& students,
                    const GradebookShape& shape);

// Why the student's files that were not graded were not, and what explains
// the points lost in those that were, for the notes column:
// "t1.sym: CR LF line ends; t3.sym: missing".
std::string notesOf(const std::vector<Test>& tests, const Student& student);

// Each test's score, and what was found of it, for a student to read:
// "t1.sym: 3 / 4 (CR LF line ends); t2.sym: 5 / 5".
std::string feedbackComments(const std::vector<Test>& tests, const Student& student);

std::uint64_t possibleOf(const std::vector<Test>& tests);

// A record, gathered whole and then written.
struct GradebookRow {
    explicit GradebookRow(Output& out) : out(out) {}

    Output& out;
    std::string text;
    bool first = true;

    void field(std::string_view value);
    void number(std::uint64_t value) { field(std::to_string(value)); }
    void end();
};

// How text from students is written: as it is, or made safe for a
// terminal; in a column a person reads, never as a formula.
struct Naming {
    bool forTerminal;
    bool utf8;
    std::string raw(std::string_view text) const;
    std::string read(std::string_view text) const;
};

#endif

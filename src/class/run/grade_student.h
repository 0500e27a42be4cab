// One student graded against every test, as a class run's workers grade
// each student and --student grades its one: what they handed in gathered
// from the run's source of submissions, each test's file chosen, opened and
// graded, and its report written (or one line saying why it was not).
#ifndef LABELGRADE_GRADE_STUDENT_H
#define LABELGRADE_GRADE_STUDENT_H

#include "class/model/class.h"
#include "class/explaining/reference_index.h"
#include "class/explaining/same_files.h"
#include "class/explaining/tally.h"
#include "class/intake/submission_source.h"
#include "class/outputs/report_files.h"
#include "class/run/grade_file.h"
#include "class/run/workers.h"

#include <string>
#include <string_view>
#include <vector>

// What grading a run's students shares, only read.
struct StudentGrading {
    const std::vector<Test>& tests;
    const std::vector<ReferenceIndex>& indexes;  // one per test
    const MarkPlaces& places;
    const ReportFolders& reports;  // root -1: none written
    const SubmissionSource& source;
    std::string_view submissions;  // as given, for the run's own trouble
    std::string_view references;   // as given, for the reports' headings
    bool utf8 = true;              // how that trouble shows students' names
};

// What each worker owns: its buffers and watcher, and its part of what the
// class's files show, merged after.
struct Worker {
    Grader grader;
    Tally& tally;
    std::vector<LinkedFile>& linked;
};

// Grades `students[index]`, filling in their results and notes.  Each
// report is written to the student's report folder, where there is one,
// and kept in `kept` (a report a test), where it is given.  The grader's
// own trouble (no descriptor or memory left) stops the run through `stop`;
// false where it stopped it before any test was graded.
bool gradeStudent(const StudentGrading& grading, Worker& worker, std::vector<Student>& students, std::size_t index,
                  StopSignal& stop, std::vector<std::string>* kept);

#endif

// Grading a whole class: every student's file for every test, by workers
// that each own their buffers and their tally, with each report written to
// its own file.
#ifndef LABELGRADE_GRADE_CLASS_H
#define LABELGRADE_GRADE_CLASS_H

#include "class/model/class.h"
#include "class/intake/download_archive.h"
#include "class/outputs/feedback.h"
#include "class/run/options.h"
#include "class/sites/site.h"
#include "class/outputs/report_files.h"
#include "class/explaining/same_files.h"
#include "class/explaining/tally.h"

#include <string>
#include <vector>

// Fills in every student's results, with what explains each graded file's
// lost points, and gives each worker's tally of the class's wrong answers,
// and the graded files that other names lead to too.  False, with `error`
// saying why, when a folder cannot be read or a report cannot be written; a
// student's file that cannot be graded is only noted in the results.
// SUBMISSIONS, open: a folder, or an archive and what its first pass found.
struct Submissions {
    int fd = -1;
    DownloadPlan* plan = nullptr;  // none for a folder
    const CourseSite* site = nullptr;  // the layout read
    std::string_view root;  // of a folder: where the students' folders lie, as reports name it
};

// With `feedback`, each student's feedback goes into it as they are graded.
bool gradeClass(const ClassOptions& options, const std::vector<Test>& tests, const MarkPlaces& places,
                const ReportFolders& reports, const Submissions& submissions, FeedbackZip* feedback,
                std::vector<Student>& students, std::vector<Tally>& tallies, std::vector<LinkedFile>& linked,
                std::string& error);

#endif

// The reports of a class on disk: a folder for each student in the reports
// folder, and in it a file for each test.  A student's name never takes
// another's folder, nor an output of the run: each student's folder is
// chosen before grading, one student after another, and where a name is
// taken (by a classmate whose name this file system does not tell apart,
// by the page or the gradebook, by the submissions) or refused by the file
// system, the student's reports go to a folder told apart from it.
#ifndef LABELGRADE_REPORT_FILES_H
#define LABELGRADE_REPORT_FILES_H

#include "class/model/class.h"
#include "io/descriptor.h"
#include "io/output.h"

#include <string>
#include <vector>

struct ReportFolders {
    int root = -1;          // -1: no reports are written
    std::string rootPath;   // as the instructor gave it
    bool utf8 = true;       // how messages show students' names
    std::vector<FileId> outputs;  // the run's other outputs, which no report may be
};

// Makes the reports folder, and any folders above it, and opens it.
bool openReportsRoot(const std::string& path, bool utf8, ReportFolders& folders, Descriptor& root, std::string& error);

// Chooses each student's report folder (Student::reportFolder), making it.
// `taken` are the paths the run reads or writes besides the reports (the
// submissions, the references, the roster, the page, the gradebook's and
// the summary's files): none of them, nor a folder above one, is a
// student's.  A student whose folder differs from their name gets a notice;
// one for whom no folder can be made keeps none, and `troubles` says why.
void chooseReportFolders(ReportFolders& folders, const std::vector<std::string>& taken,
                         std::vector<Student>& students, std::vector<std::string>& notices,
                         std::vector<std::string>& troubles);

// The folder of a student's reports; none (-1) when no reports are written
// or none could be made for them.
Descriptor openStudentReports(const ReportFolders& folders, const Student& student);

// A test's report file in the student's folder, made new or emptied: never
// through a link, never a FIFO or another of the run's outputs.  None (-1),
// with errno set, where it cannot be.
Descriptor openReportFile(const ReportFolders& folders, int studentFolder, const Test& test);

// A report file's path as a message shows it: the student's part made safe.
std::string shownReportPath(const ReportFolders& folders, const Student& student, const Test& test);

// The report of a file that was not graded: one line saying why.
void printNotGraded(Output& out, const Test& test, FileState state);

#endif

// The reports of a class on disk: a folder for each student in the reports
// folder, and in it a file for each test.
#ifndef LABELGRADE_REPORT_FILES_H
#define LABELGRADE_REPORT_FILES_H

#include "class.h"
#include "io/descriptor.h"
#include "io/output.h"

#include <string>

struct ReportFolders {
    int root = -1;          // -1: no reports are written
    std::string rootPath;   // as the instructor gave it
    bool utf8 = true;       // how messages show students' names
};

// Makes the reports folder, and any folders above it, and opens it.
bool openReportFolders(const std::string& path, bool utf8, ReportFolders& folders, Descriptor& root,
                       std::string& error);

// The folder of a student's reports, made if missing; none (-1) when no
// reports are written, or the student's name is none a folder could have
// (a roster may name a student so), and then `error` is empty.
Descriptor openStudentReports(const ReportFolders& folders, const Student& student, std::string& error);

// A test's report file in the student's folder, created or emptied.
Descriptor openReportFile(const ReportFolders& folders, int studentFolder, const Student& student,
                          const Test& test, std::string& error);

// Whether a student's reports are written at all: their name must be one a
// folder can have.
bool hasReportFolder(const Student& student);

// A report file's path as a message shows it: the student's part made safe.
std::string shownReportPath(const ReportFolders& folders, const Student& student, const Test& test);

// The report of a file that was not graded: one line saying why.
void printNotGraded(Output& out, const Test& test, FileState state);

#endif

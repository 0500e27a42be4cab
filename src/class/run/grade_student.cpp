#include "class/run/grade_student.h"

#include "io/descriptor.h"
#include "io/folder.h"
#include "io/visible_text.h"
#include "report/report_text.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// One student, as they are graded.
struct StudentInGrading {
    const StudentGrading& grading;
    Worker& worker;
    StopSignal& stop;
    const Student& student;
    std::uint32_t index = 0;
    StudentSubmission submission;
};

TestResult gradeChosen(StudentInGrading& graded, std::size_t t)
{
    const StudentGrading& grading = graded.grading;
    const Test& test = grading.tests[t];
    StudentFile file = grading.source.open(graded.student, graded.submission, t);
    TestResult result;
    if (file.graderError != 0) {
        graded.stop.stopWith("could not open " + visibleText(file.shownPath, grading.utf8) + ": " +
                             std::strerror(file.graderError));
        return result;
    }
    result.state = file.state;
    result.error = file.error;
    if (file.state != FileState::graded)
        return result;
    TestToGrade toGrade{test, static_cast<std::uint32_t>(t), grading.indexes[t], grading.places, reportLimitFor(test)};
    std::string referencePath = pathInFolder(grading.references, test.name);
    result = gradeFile(graded.worker.grader, graded.worker.tally, toGrade, graded.index, file,
                       ReportHeading{test.number, file.shownPath, referencePath});
    // What the student reads names their file as they handed it in and the
    // reference by its test, never a path of the instructor's disk.
    if (std::string* kept = graded.worker.grader.report.kept; kept != nullptr) {
        flushOutput(graded.worker.grader.report);
        renamePaths(*kept, test.number, file.shownPath, referencePath, file.handedPath, test.name);
    }
    if (file.hardLinked && result.state == FileState::graded)
        graded.worker.linked.push_back(LinkedFile{file.id, graded.index, static_cast<std::uint32_t>(t)});
    // The grader's own trouble is no student's: the run stops.
    if (isGraderTrouble(result.error) && result.state == FileState::unreadable)
        graded.stop.stopWith("out of memory");
    return result;
}

// What became of one file, and its report: what `labelgrade N
// SUBMISSIONS/student/test REFERENCES/test` writes, byte for byte, or one
// line saying why the file was not graded.
TestResult gradeOne(StudentInGrading& graded, std::size_t t, int reportFd)
{
    Output& report = graded.worker.grader.report;
    const Student& student = graded.student;
    restartOutput(report, reportFd);
    TestResult result;
    if (!student.hasFolder)
        result.state = FileState::noSubmission;
    else if (student.folderOutside)
        result.state = FileState::folderOutside;
    else if (!graded.submission.readable)
        result.state = FileState::unreadable;
    else if (graded.submission.choices[t].state != FileState::graded)
        result.state = graded.submission.choices[t].state;
    else
        result = gradeChosen(graded, t);
    if (result.state != FileState::graded) {
        // What a file cut short wrote is written over.
        restartOutput(report, reportFd);
        if (reportFd >= 0 && (ftruncate(reportFd, 0) != 0 || lseek(reportFd, 0, SEEK_SET) != 0))
            report.failed = true;
        printNotGraded(report, graded.grading.tests[t], result.state);
    }
    return result;
}

// Gathers what the student handed in and chooses each test's file; false
// where the grader's own trouble stops the run.
bool gather(StudentInGrading& graded, Student& student)
{
    graded.grading.source.gather(student, graded.submission);
    if (graded.submission.graderError == 0)
        return true;
    // A student of a download laid out flat has files, not a folder.
    const std::string& place = student.folders.empty() ? student.name : student.folders.front();
    graded.stop.stopWith("could not open " +
                         pathInFolder(graded.grading.submissions, visibleText(place, graded.grading.utf8)) + ": " +
                         std::strerror(graded.submission.graderError));
    return false;
}

}  // namespace

bool gradeStudent(const StudentGrading& grading, Worker& worker, std::vector<Student>& students, std::size_t index,
                  StopSignal& stop, std::vector<std::string>* kept)
{
    Student& student = students[index];
    student.results.assign(grading.tests.size(), TestResult{});
    // A report that cannot be written is its student's note; the class
    // goes on, and the run ends telling it.
    bool reported = grading.reports.root >= 0;
    Descriptor reportFolder = openStudentReports(grading.reports, student);
    int folderError = reportFolder.fd >= 0 || !reported ? 0 : student.reportFolder.empty() ? student.reportFolderError : errno;
    StudentInGrading graded{grading, worker, stop, student, static_cast<std::uint32_t>(index), StudentSubmission{}};
    if (!gather(graded, student))
        return false;
    Output& report = worker.grader.report;
    for (std::size_t t = 0; t < grading.tests.size() && !stop.stopped; ++t) {
        const Test& test = grading.tests[t];
        Descriptor reportFile = openReportFile(grading.reports, reportFolder.fd, test);
        int reportError = folderError != 0 ? folderError : reported && reportFile.fd < 0 ? errno : 0;
        report.kept = kept == nullptr ? nullptr : &(*kept)[t];
        TestResult& result = student.results[t];
        result = gradeOne(graded, t, reportFile.fd);
        if (!flushOutput(report) && reportFile.fd >= 0)
            reportError = report.error;
        report.kept = nullptr;
        result.reportError = reportError;
    }
    grading.source.release(student);
    return true;
}

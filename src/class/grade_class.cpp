#include "grade_class.h"

#include "grade_file.h"
#include "io/descriptor.h"
#include "io/folder.h"
#include "io/visible_text.h"
#include "report_files.h"
#include "student_files.h"
#include "workers.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

// What every worker reads, and the one thing they share: where the next
// student is, and how the run is going.
struct ClassRun {
    ClassRun(const ClassOptions& options, const std::vector<Test>& tests, std::vector<Student>& students,
             const MarkPlaces& places)
        : options(options), tests(tests), students(students), places(places)
    {
    }

    const ClassOptions& options;
    const std::vector<Test>& tests;
    std::vector<Student>& students;
    const MarkPlaces& places;
    std::vector<FileId> references;
    std::vector<ReferenceIndex> indexes;  // one per test
    int submissions = -1;
    ReportFolders reports;

    StopSignal stop;
    // Apart from each other and from what the workers only read: each is
    // written by every worker.
    alignas(64) std::atomic<std::size_t> nextStudent{0};
    alignas(64) std::atomic<std::uint64_t> filesDone{0};
};

// A student's file's path as a message shows it: the student's part made
// safe.
std::string shownStudentPath(const ClassRun& run, const Student& student, const Test& test)
{
    return pathInFolder(pathInFolder(run.options.submissions, visibleText(student.name, run.options.utf8)), test.name);
}

TestToGrade testToGrade(const ClassRun& run, std::size_t t)
{
    return TestToGrade{run.tests[t], static_cast<std::uint32_t>(t), run.indexes[t], run.places};
}

// What became of one file, and its report: what `labelgrade N
// SUBMISSIONS/student/test REFERENCES/test` writes, byte for byte, or one
// line saying why the file was not graded.
TestResult gradeOne(ClassRun& run, Grader& grader, Tally& tally, const StudentFolder* folder,
                    std::size_t studentIndex, std::size_t t, int reportFd)
{
    const Student& student = run.students[studentIndex];
    const Test& test = run.tests[t];
    restartOutput(grader.report, reportFd);
    TestResult result;
    if (!student.hasFolder) {
        result.state = FileState::noSubmission;
    } else if (folder == nullptr) {
        result.state = FileState::unreadable;
    } else {
        StudentFile file = openListedFile(*folder, test.name, run.references);
        if (file.graderError != 0) {
            run.stop.stopWith("could not open " + shownStudentPath(run, student, test) + ": " +
                              std::strerror(file.graderError));
            return result;
        }
        result.state = file.state;
        if (file.state == FileState::graded) {
            std::string studentPath = pathInFolder(pathInFolder(run.options.submissions, student.name), test.name);
            std::string referencePath = pathInFolder(run.options.references, test.name);
            Outcome outcome = Outcome::compared;
            result = gradeFile(grader, tally, testToGrade(run, t), static_cast<std::uint32_t>(studentIndex), file,
                               ReportHeading{test.number, studentPath, referencePath}, outcome);
            // Memory is the grader's trouble, not the student's: the run
            // stops rather than charge anyone for it.
            if (outcome == Outcome::outOfMemory)
                run.stop.stopWith("out of memory");
        }
    }
    if (result.state != FileState::graded) {
        // What a file cut short wrote is written over.
        restartOutput(grader.report, reportFd);
        if (reportFd >= 0 && (ftruncate(reportFd, 0) != 0 || lseek(reportFd, 0, SEEK_SET) != 0))
            grader.report.failed = true;
        printNotGraded(grader.report, test, result.state);
    }
    return result;
}

void gradeStudent(ClassRun& run, Grader& grader, Tally& tally, std::size_t studentIndex)
{
    Student& student = run.students[studentIndex];
    student.results.assign(run.tests.size(), TestResult{});
    std::string error;
    Descriptor reportFolder = openStudentReports(run.reports, student, error);
    if (!error.empty()) {
        run.stop.stopWith(error);
        return;
    }
    StudentFolder folder;
    bool listed = student.hasFolder && openStudentFolder(run.submissions, student.name, folder);
    if (student.hasFolder && !listed && isGraderTrouble(errno)) {
        run.stop.stopWith("could not open " +
                          pathInFolder(run.options.submissions, visibleText(student.name, run.options.utf8)) + ": " +
                          std::strerror(errno));
        return;
    }
    for (std::size_t t = 0; t < run.tests.size() && !run.stop.stopped; ++t) {
        const Test& test = run.tests[t];
        Descriptor report = openReportFile(run.reports, reportFolder.fd, student, test, error);
        if (!error.empty()) {
            run.stop.stopWith(error);
            return;
        }
        student.results[t] = gradeOne(run, grader, tally, listed ? &folder : nullptr, studentIndex, t, report.fd);
        if (!flushOutput(grader.report) && report.fd >= 0)
            run.stop.stopWith("could not write " + shownReportPath(run.reports, student, test) + ": " +
                              std::strerror(grader.report.error));
    }
    run.filesDone += run.tests.size();
}

void work(ClassRun& run, Tally& tally)
{
    auto grader = std::make_unique<Grader>();
    for (;;) {
        std::size_t next = run.nextStudent++;
        if (next >= run.students.size() || run.stop.stopped)
            break;
        gradeStudent(run, *grader, tally, next);
    }
    // Sorted here, in parallel, so that the merge after has only to walk
    // the tallies.
    std::sort(tally.marks.begin(), tally.marks.end());
    tally.wrongLines.sort();
}

unsigned workerCount(const ClassOptions& options, std::size_t students)
{
    unsigned jobs = options.jobs != 0 ? options.jobs : processorCount();
    return static_cast<unsigned>(std::min<std::size_t>(jobs, std::max<std::size_t>(students, 1)));
}

}  // namespace

bool gradeClass(const ClassOptions& options, const std::vector<Test>& tests, const MarkPlaces& places,
                std::vector<Student>& students, std::vector<Tally>& tallies, std::string& error)
{
    ClassRun run(options, tests, students, places);
    for (const Test& test : tests) {
        run.references.push_back(test.file);
        run.indexes.push_back(indexReference(test.text));
    }
    Descriptor submissions(open(options.submissions.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (submissions.fd < 0) {
        error = "could not read the folder " + options.submissions + ": " + std::strerror(errno);
        return false;
    }
    run.submissions = submissions.fd;
    Descriptor reports;
    if (!options.reportsDir.empty() && !openReportFolders(options.reportsDir, options.utf8, run.reports, reports, error))
        return false;

    unsigned jobs = workerCount(options, students.size());
    tallies.assign(jobs, Tally());
    runWorkers(jobs, [&](unsigned worker) { work(run, tallies[worker]); }, run.stop, run.filesDone,
               students.size() * tests.size());
    error = run.stop.reason();
    return error.empty();
}

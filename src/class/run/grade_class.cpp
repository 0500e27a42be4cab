#include "class/run/grade_class.h"

#include "class/intake/download_archive.h"
#include "class/intake/folder_submissions.h"
#include "class/run/grade_file.h"
#include "io/descriptor.h"
#include "io/folder.h"
#include "io/visible_text.h"
#include "class/run/ready_queue.h"
#include "class/outputs/report_files.h"
#include "class/run/shared_heap.h"
#include "class/intake/student_files.h"
#include "class/run/workers.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <thread>
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
    // Where SUBMISSIONS is an archive: what its first pass found, and the
    // files its second pass reads, per student and test.
    DownloadPlan* plan = nullptr;
    std::vector<std::vector<StudentFile>> prepared;
    ReadyQueue ready;
    const CourseSite* site = nullptr;  // the layout read, which says where feedback goes
    FeedbackZip* feedback = nullptr;

    StopSignal stop;
    // Apart from each other and from what the workers only read: each is
    // written by every worker.
    alignas(64) std::atomic<std::size_t> nextStudent{0};
    alignas(64) std::atomic<std::uint64_t> filesDone{0};
};

TestToGrade testToGrade(const ClassRun& run, std::size_t t)
{
    return TestToGrade{run.tests[t], static_cast<std::uint32_t>(t), run.indexes[t], run.places,
                       reportLimitFor(run.tests[t])};
}

// What each worker owns: its buffers and watcher, and its part of what the
// class's files show, merged after.
struct Worker {
    Grader grader;
    Tally& tally;
    std::vector<LinkedFile>& linked;
};

// Where a handed-in file lies, as its report names it: the path an
// instructor would give labelgrade, the upload's own path before the path
// inside it.
std::string pathOfHanded(const ClassRun& run, const Student& student, const Handed& handed, std::size_t file)
{
    const FileSource& source = handed.sources[file];
    switch (source.kind) {
    case SourceKind::inFolder:
        return pathInFolder(pathInFolder(run.options.submissions, student.folders[source.container]), source.entry);
    case SourceKind::flat:
    case SourceKind::inDownload:
        return pathInFolder(run.options.submissions, source.entry);
    case SourceKind::inUpload:
        return pathOfHanded(run, student, handed, source.container) + "/" + source.entry;
    }
    return {};
}

// What a student handed in, gathered once, and each test's file chosen.
struct HandedAndChosen {
    StudentPlaces places;
    Handed handed;
    std::vector<Choice> choices;
    bool readable = true;  // some place of the student's could be read
};

TestResult gradeChosen(ClassRun& run, Worker& worker, const HandedAndChosen& chosen, std::size_t studentIndex,
                       std::size_t t)
{
    const Student& student = run.students[studentIndex];
    const Test& test = run.tests[t];
    std::size_t chosenFile = chosen.choices[t].file;
    StudentFile file = run.plan != nullptr ? std::move(run.prepared[student.planIndex][t])
                                           : openHanded(chosen.places, chosen.handed, chosenFile, run.references);
    TestResult result;
    if (file.graderError != 0) {
        run.stop.stopWith("could not open " + visibleText(pathOfHanded(run, student, chosen.handed, chosenFile), run.options.utf8) +
                          ": " + std::strerror(file.graderError));
        return result;
    }
    result.state = file.state;
    result.error = file.error;
    if (file.state != FileState::graded)
        return result;
    std::string studentPath =
        file.shownPath.empty() ? pathOfHanded(run, student, chosen.handed, chosenFile) : std::move(file.shownPath);
    std::string referencePath = pathInFolder(run.options.references, test.name);
    result = gradeFile(worker.grader, worker.tally, testToGrade(run, t), static_cast<std::uint32_t>(studentIndex), file,
                       ReportHeading{test.number, studentPath, referencePath});
    if (file.hardLinked && result.state == FileState::graded)
        worker.linked.push_back(LinkedFile{file.id, static_cast<std::uint32_t>(studentIndex), static_cast<std::uint32_t>(t)});
    // The grader's own trouble is no student's: the run stops.
    if (isGraderTrouble(result.error) && result.state == FileState::unreadable)
        run.stop.stopWith("out of memory");
    return result;
}

// What became of one file, and its report: what `labelgrade N
// SUBMISSIONS/student/test REFERENCES/test` writes, byte for byte, or one
// line saying why the file was not graded.
TestResult gradeOne(ClassRun& run, Worker& worker, const HandedAndChosen& chosen, std::size_t studentIndex,
                    std::size_t t, int reportFd)
{
    Grader& grader = worker.grader;
    const Student& student = run.students[studentIndex];
    restartOutput(grader.report, reportFd);
    TestResult result;
    if (!student.hasFolder)
        result.state = FileState::noSubmission;
    else if (student.folderOutside)
        result.state = FileState::folderOutside;
    else if (!chosen.readable)
        result.state = FileState::unreadable;
    else if (chosen.choices[t].state != FileState::graded)
        result.state = chosen.choices[t].state;
    else
        result = gradeChosen(run, worker, chosen, studentIndex, t);
    if (result.state != FileState::graded) {
        // What a file cut short wrote is written over.
        restartOutput(grader.report, reportFd);
        if (reportFd >= 0 && (ftruncate(reportFd, 0) != 0 || lseek(reportFd, 0, SEEK_SET) != 0))
            grader.report.failed = true;
        printNotGraded(grader.report, run.tests[t], result.state);
    }
    return result;
}

// Gathers what the student handed in and chooses each test's file; false
// where the grader's own trouble stops the run.
bool gatherAndChoose(ClassRun& run, std::size_t studentIndex, HandedAndChosen& chosen)
{
    Student& student = run.students[studentIndex];
    chosen.choices.assign(run.tests.size(), Choice{});
    if (!student.hasFolder || student.folderOutside)
        return true;
    // An archive's students were gathered and chosen for by its first pass.
    if (run.plan != nullptr) {
        chosen.choices = std::move(run.plan->choices[student.planIndex]);
        return true;
    }
    int error = 0;
    chosen.handed = gatherHanded(run.submissions, run.options.followLinks, student, run.references, chosen.places, error);
    if (isGraderTrouble(error)) {
        run.stop.stopWith("could not open " +
                          pathInFolder(run.options.submissions, visibleText(student.folders.front(), run.options.utf8)) +
                          ": " + std::strerror(error));
        return false;
    }
    chosen.readable = error == 0 || !chosen.handed.files.empty();
    chosen.choices = chooseFiles(run.tests, chosen.handed, student.notes);
    return true;
}

void gradeStudent(ClassRun& run, Worker& worker, std::size_t studentIndex)
{
    Grader& grader = worker.grader;
    Student& student = run.students[studentIndex];
    student.results.assign(run.tests.size(), TestResult{});
    // A report that cannot be written is its student's note; the class
    // goes on, and the run ends telling it.
    bool reported = run.reports.root >= 0;
    Descriptor reportFolder = openStudentReports(run.reports, student);
    int folderError = reportFolder.fd >= 0 || !reported ? 0 : student.reportFolder.empty() ? student.reportFolderError : errno;
    HandedAndChosen chosen;
    if (!gatherAndChoose(run, studentIndex, chosen))
        return;
    // The feedback holds each report: kept as it is written.
    std::vector<std::string> reports(run.feedback != nullptr ? run.tests.size() : 0);
    for (std::size_t t = 0; t < run.tests.size() && !run.stop.stopped; ++t) {
        const Test& test = run.tests[t];
        Descriptor report = openReportFile(run.reports, reportFolder.fd, test);
        int reportError = folderError != 0 ? folderError : reported && report.fd < 0 ? errno : 0;
        grader.report.kept = reports.empty() ? nullptr : &reports[t];
        TestResult& result = student.results[t];
        result = gradeOne(run, worker, chosen, studentIndex, t, report.fd);
        if (!flushOutput(grader.report) && report.fd >= 0)
            reportError = grader.report.error;
        grader.report.kept = nullptr;
        result.reportError = reportError;
    }
    if (run.feedback != nullptr)
        addFeedback(*run.feedback, studentIndex, run.site->feedbackPath(student),
                    feedbackText(run.tests, student, reports));
    // An archive's files for the student are read and graded: let go.
    if (run.plan != nullptr && student.planIndex != UINT32_MAX)
        std::vector<StudentFile>().swap(run.prepared[student.planIndex]);
    run.filesDone += run.tests.size();
}

// The next student to grade: from the archive's second pass where there is
// one, else the next in order.  False once none is left.
bool takeStudent(ClassRun& run, std::size_t& next)
{
    if (run.plan != nullptr)
        return run.ready.pop(next);
    next = run.nextStudent++;
    return next < run.students.size();
}

void work(ClassRun& run, Tally& tally, std::vector<LinkedFile>& linked)
{
    auto worker = std::unique_ptr<Worker>(new Worker{Grader(), tally, linked});
    std::size_t next = 0;
    while (takeStudent(run, next)) {
        // A stopped run still takes every student an archive hands over, so
        // that the reading can end.
        if (!run.stop.stopped)
            gradeStudent(run, *worker, next);
    }
    // Sorted here, in parallel, so that the merge after has only to walk
    // the tallies.
    std::sort(tally.marks.begin(), tally.marks.end());
    tally.wrongLines.sort();
}

// The archive's second pass, handing each student over as their files are
// read; a student it did not find (on the roster alone) first.
void readInTurn(ClassRun& run, int fd)
{
    std::vector<std::size_t> studentOfPlan(run.plan->choices.size());
    for (std::size_t s = 0; s < run.students.size(); ++s) {
        if (run.students[s].planIndex == UINT32_MAX)
            run.ready.push(s);
        else
            studentOfPlan[run.students[s].planIndex] = s;
    }
    readDownload(fd, run.options.submissions, *run.plan, run.prepared,
                 [&](std::uint32_t s) { run.ready.push(studentOfPlan[s]); });
    run.ready.finish();
}

unsigned workerCount(const ClassOptions& options, std::size_t students)
{
    unsigned jobs = options.jobs != 0 ? options.jobs : processorCount();
    return static_cast<unsigned>(std::min<std::size_t>(jobs, std::max<std::size_t>(students, 1)));
}

}  // namespace

bool gradeClass(const ClassOptions& options, const std::vector<Test>& tests, const MarkPlaces& places,
                const ReportFolders& reports, const Submissions& submissions, FeedbackZip* feedback,
                std::vector<Student>& students, std::vector<Tally>& tallies, std::vector<LinkedFile>& linked,
                std::string& error)
{
    ClassRun run(options, tests, students, places);
    for (const Test& test : tests) {
        run.references.push_back(test.file);
        run.indexes.push_back(indexReference(test.text));
    }
    run.submissions = submissions.fd;
    run.plan = submissions.plan;
    run.site = submissions.site;
    run.feedback = feedback;
    run.reports = reports;

    unsigned jobs = workerCount(options, students.size());
    tallies.assign(jobs, Tally());
    std::vector<std::vector<LinkedFile>> linkedByWorker(jobs);
    // An archive is read by one thread, its second pass handing students to
    // the workers as their files are read.
    std::thread reading;
    if (run.plan != nullptr) {
        shareOneHeap();
        reading = std::thread([&] { readInTurn(run, submissions.fd); });
    }
    runWorkers(jobs, [&](unsigned worker) { work(run, tallies[worker], linkedByWorker[worker]); }, run.stop,
               run.filesDone, students.size() * tests.size());
    run.ready.abandon();
    if (reading.joinable())
        reading.join();
    for (const std::vector<LinkedFile>& found : linkedByWorker)
        linked.insert(linked.end(), found.begin(), found.end());
    error = run.stop.reason();
    return error.empty();
}

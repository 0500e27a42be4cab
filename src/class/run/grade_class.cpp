#include "class/run/grade_class.h"

#include "class/intake/download_archive.h"
#include "class/intake/download_source.h"
#include "class/intake/folder_submissions.h"
#include "class/outputs/report_files.h"
#include "class/run/grade_student.h"
#include "class/run/ready_queue.h"
#include "class/run/shared_heap.h"
#include "class/run/threads.h"
#include "class/run/workers.h"

#include <algorithm>
#include <atomic>
#include <memory>

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
    std::vector<ReferenceIndex> indexes;  // one per test
    ReportFolders reports;
    const StudentGrading* grading = nullptr;
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

// `reports` is the worker's, used again for each student so that a report
// kept for the feedback grows into memory the one before it held.
void gradeInTurn(ClassRun& run, Worker& worker, std::size_t studentIndex, std::vector<std::string>& reports)
{
    Student& student = run.students[studentIndex];
    // The feedback holds each report: kept as it is written.
    for (std::string& report : reports)
        report.clear();
    if (!gradeStudent(*run.grading, worker, run.students, studentIndex, run.stop,
                      run.feedback != nullptr ? &reports : nullptr))
        return;
    if (run.feedback != nullptr)
        addFeedback(*run.feedback, studentIndex, run.site->feedbackPath(student),
                    feedbackText(run.tests, student, reports));
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
    std::vector<std::string> reports(run.feedback != nullptr ? run.tests.size() : 0);
    std::size_t next = 0;
    while (takeStudent(run, next)) {
        // A stopped run still takes every student an archive hands over, so
        // that the reading can end.
        if (!run.stop.stopped)
            gradeInTurn(run, *worker, next, reports);
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
    // However the reading ends, the workers waiting for a student must hear
    // that none will come.
    struct Finishing {
        ReadyQueue& ready;
        ~Finishing() { ready.finish(); }
    } finishing{run.ready};
    std::vector<std::size_t> studentOfPlan(run.plan->choices.size());
    for (std::size_t s = 0; s < run.students.size(); ++s) {
        if (run.students[s].sourceIndex == UINT32_MAX)
            run.ready.push(s);
        else
            studentOfPlan[run.students[s].sourceIndex] = s;
    }
    readDownload(fd, run.options.submissions, *run.plan, run.prepared,
                 [&](std::uint32_t s) { run.ready.push(studentOfPlan[s]); });
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
        run.indexes.push_back(indexReference(test.text));
        ReferenceIndex& index = run.indexes.back();
        index.statements = learnStatements(test.program, index.symbols, index.values, index.hasValue);
        if (index.statements.literalPools)
            index.literalsAlike = learnStatements(test.program, index.symbols, index.values, index.hasValue, true);
    }
    run.plan = submissions.plan;
    run.site = submissions.site;
    run.feedback = feedback;
    run.reports = reports;
    std::unique_ptr<SubmissionSource> source =
        run.plan != nullptr ? downloadSource(*run.plan, run.prepared, tests.size())
                            : folderSource(submissions.fd, std::string(submissions.root), options.followLinks, tests);
    StudentGrading grading{tests, run.indexes, places, run.reports, *source, options.submissions, options.references,
                           options.utf8};
    run.grading = &grading;

    unsigned jobs = workerCount(options, students.size());
    tallies.assign(jobs, Tally());
    std::vector<std::vector<LinkedFile>> linkedByWorker(jobs);
    // An archive is read by one thread, its second pass handing students to
    // the workers as their files are read.
    std::jthread reading;
    // However the grading ends, the reading is let go before it is joined:
    // with no worker to take them, it would wait on its students forever.
    struct Abandoning {
        ReadyQueue& ready;
        ~Abandoning() { ready.abandon(); }
    } abandoning{run.ready};
    std::string why;
    if (run.plan != nullptr) {
        shareOneHeap();
        if (!startThread(reading, run.stop, [&] { readInTurn(run, submissions.fd); }, why)) {
            run.stop.stopWith("could not start a thread to read " + options.submissions + ": " + why);
            run.ready.finish();
        }
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

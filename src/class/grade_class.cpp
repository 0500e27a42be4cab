#include "grade_class.h"

#include "compare.h"
#include "grading/score.h"
#include "io/descriptor.h"
#include "io/folder.h"
#include "io/visible_text.h"
#include "progress.h"
#include "student_files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <new>
#include <sched.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>

namespace {

constexpr auto progressInterval = std::chrono::milliseconds(100);

// What every worker reads and the one thing they share: where the next
// student is, and how the run is going.
struct ClassRun {
    ClassRun(const ClassOptions& options, const std::vector<Test>& tests, std::vector<Student>& students)
        : options(options), tests(tests), students(students)
    {
    }

    const ClassOptions& options;
    const std::vector<Test>& tests;
    std::vector<Student>& students;
    std::vector<FileId> references;
    std::vector<ReferenceIndex> indexes;  // one per test
    int submissions = -1;
    int reports = -1;  // -1: no reports are written

    std::atomic<std::size_t> nextStudent{0};
    std::atomic<std::uint64_t> filesDone{0};
    std::atomic<bool> stopped{false};
    std::mutex mutex;  // guards what follows
    std::condition_variable workerEnded;
    unsigned workersLeft = 0;
    std::string error;  // the first output that failed
};

void stopWith(ClassRun& run, std::string error)
{
    std::lock_guard lock(run.mutex);
    if (run.error.empty())
        run.error = std::move(error);
    run.stopped = true;
}

// What each worker owns: its buffers, and its part of what the class's
// wrong lines say, merged after.
struct Worker {
    Report report;
    ReadBuffer buffer;
    FindingsWatcher watcher;
};

// A buffer that a long line grew is given back, so that one student's
// file does not hold a worker's memory for the rest of the run.
void releaseGrownBuffer(ReadBuffer& buffer)
{
    if (buffer.capacity > 8 * readBufferSize) {
        buffer.bytes.reset();
        buffer.capacity = 0;
    }
}

// A student's file's path as a message shows it: the student's part made
// safe.
std::string shownStudentPath(const ClassRun& run, const Student& student, const Test& test)
{
    return pathInFolder(pathInFolder(run.options.submissions, visibleText(student.name, run.options.utf8)), test.name);
}

// A report file's path as a message shows it: the student's part made safe.
std::string reportPath(const ClassRun& run, const Student& student, const Test& test)
{
    return pathInFolder(pathInFolder(run.options.reportsDir, visibleText(student.name, run.options.utf8)), test.name + ".txt");
}

// Where a student's reports go; -1 when none are written.
Descriptor openReportFolder(ClassRun& run, const Student& student)
{
    if (run.reports < 0)
        return Descriptor();
    const std::string& name = student.name;
    // A roster may name a student as no folder could be named; such a name
    // gets its row but no reports.
    if (name.empty() || name == "." || name == ".." || name.find_first_of(std::string_view("/\0", 2)) != std::string::npos)
        return Descriptor();
    if (mkdirat(run.reports, name.c_str(), 0777) != 0 && errno != EEXIST) {
        stopWith(run, "could not make " + pathInFolder(run.options.reportsDir, visibleText(name, run.options.utf8)) + ": " +
                          std::strerror(errno));
        return Descriptor();
    }
    Descriptor folder(openat(run.reports, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder.fd < 0)
        stopWith(run, "could not write to " + pathInFolder(run.options.reportsDir, visibleText(name, run.options.utf8)) + ": " +
                          std::strerror(errno));
    return folder;
}

Descriptor openReport(ClassRun& run, int reportFolder, const Student& student, const Test& test)
{
    if (reportFolder < 0)
        return Descriptor();
    std::string name = test.name + ".txt";
    Descriptor report(openat(reportFolder, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (report.fd < 0)
        stopWith(run, "could not write " + reportPath(run, student, test) + ": " + std::strerror(errno));
    return report;
}

void startReport(Report& report, int fd)
{
    report.fd = fd;
    report.failed = false;
    report.used = 0;
}

void finishReport(ClassRun& run, Worker& worker, const Student& student, const Test& test)
{
    if (!flushReport(worker.report) && worker.report.fd >= 0)
        stopWith(run, "could not write " + reportPath(run, student, test) + ": " + std::strerror(errno));
}

// A report for a file that was not graded holds one line saying why.
void reportNotGraded(Worker& worker, int reportFd, const Test& test, FileState state)
{
    startReport(worker.report, reportFd);
    if (reportFd >= 0 && (ftruncate(reportFd, 0) != 0 || lseek(reportFd, 0, SEEK_SET) != 0))
        worker.report.failed = true;
    put(worker.report, test.name);
    put(worker.report, ": ");
    put(worker.report, reasonOf(state));
    put(worker.report, "\n");
}

// The report is what labelgrade N SUBMISSIONS/student/test REFERENCES/test
// writes, byte for byte.
TestResult gradeFile(ClassRun& run, Worker& worker, Tally& tally, const StudentFile& studentFile, int reportFd,
                     std::size_t studentIndex, std::size_t testIndex)
{
    const Student& student = run.students[studentIndex];
    const Test& test = run.tests[testIndex];
    std::string studentPath = pathInFolder(pathInFolder(run.options.submissions, student.name), test.name);
    Report& report = worker.report;
    startReport(report, reportFd);
    put(report, "Comparing ");
    put(report, studentPath);
    put(report, " to ");
    put(report, pathInFolder(run.options.references, test.name));
    put(report, ":\n\n");
    FileLines studentLines = linesOfFile(studentFile.file.fd, worker.buffer, studentFile.size);
    FileLines referenceLines = linesOfText(test.text);
    worker.watcher.start(run.indexes[testIndex], static_cast<std::uint32_t>(testIndex),
                         static_cast<std::uint32_t>(studentIndex), tally);
    std::size_t marksBefore = tally.marks.size();
    Graded graded = gradeLines(studentLines, referenceLines, report, &worker.watcher);
    releaseGrownBuffer(worker.buffer);
    TestResult result;
    // A file not graded to its end leaves no marks for the summary to count.
    if (graded.outcome != Outcome::compared)
        tally.marks.resize(marksBefore);
    // Memory is the grader's trouble, not the student's: the run stops
    // rather than charge anyone for it.
    if (graded.outcome == Outcome::outOfMemory)
        stopWith(run, "out of memory");
    // A file that cannot be read to its end is not graded at all.
    if (graded.outcome != Outcome::compared) {
        result.state = FileState::unreadable;
        return result;
    }
    printScore(test.number, studentPath, graded.studentCount, graded.referenceCount, graded.wrongEntries, report);
    result.state = FileState::graded;
    result.score = scoreOf(graded.studentCount, graded.referenceCount, graded.wrongEntries);
    result.diagnoses = worker.watcher.finish(graded.studentCount, graded.referenceCount);
    return result;
}

void gradeStudent(ClassRun& run, Worker& worker, Tally& tally, std::size_t studentIndex)
{
    Student& student = run.students[studentIndex];
    student.results.assign(run.tests.size(), TestResult{});
    Descriptor reportFolder = openReportFolder(run, student);
    Descriptor folder;
    if (student.hasFolder) {
        folder = Descriptor(openat(run.submissions, student.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder.fd < 0 && isGraderTrouble(errno)) {
            stopWith(run, "could not open " + pathInFolder(run.options.submissions, visibleText(student.name, run.options.utf8)) +
                              ": " + std::strerror(errno));
            return;
        }
    }
    for (std::size_t t = 0; t < run.tests.size() && !run.stopped; ++t) {
        const Test& test = run.tests[t];
        TestResult& result = student.results[t];
        Descriptor report = openReport(run, reportFolder.fd, student, test);
        if (!student.hasFolder) {
            result.state = FileState::noSubmission;
        } else if (folder.fd < 0) {
            result.state = FileState::unreadable;
        } else {
            StudentFile file = openStudentFile(folder.fd, test.name.c_str(), run.references);
            if (file.graderError != 0) {
                stopWith(run, "could not open " + shownStudentPath(run, student, test) + ": " +
                                  std::strerror(file.graderError));
                break;
            }
            result.state = file.state;
            if (file.state == FileState::graded)
                result = gradeFile(run, worker, tally, file, report.fd, studentIndex, t);
        }
        if (result.state != FileState::graded)
            reportNotGraded(worker, report.fd, test, result.state);
        finishReport(run, worker, student, test);
    }
    run.filesDone += run.tests.size();
}

void work(ClassRun& run, Tally& tally)
{
    try {
        auto worker = std::make_unique<Worker>();
        for (;;) {
            std::size_t next = run.nextStudent++;
            if (next >= run.students.size() || run.stopped)
                break;
            gradeStudent(run, *worker, tally, next);
        }
        // Sorted here, in parallel, so that the merge after has only to
        // walk the tallies.
        std::sort(tally.marks.begin(), tally.marks.end());
    } catch (const std::bad_alloc&) {
        stopWith(run, "out of memory");
    } catch (const std::exception& trouble) {
        stopWith(run, trouble.what());
    }
    std::lock_guard lock(run.mutex);
    --run.workersLeft;
    run.workerEnded.notify_one();
}

bool makeFolders(const std::string& path)
{
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string prefix = path.substr(0, slash);
        if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

bool openFolders(ClassRun& run, Descriptor& submissions, Descriptor& reports, std::string& error)
{
    submissions = Descriptor(open(run.options.submissions.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (submissions.fd < 0) {
        error = "could not read the folder " + run.options.submissions + ": " + std::strerror(errno);
        return false;
    }
    run.submissions = submissions.fd;
    if (run.options.reportsDir.empty())
        return true;
    if (!makeFolders(run.options.reportsDir) ||
        (reports = Descriptor(open(run.options.reportsDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))).fd < 0) {
        error = "could not make the folder " + run.options.reportsDir + ": " + std::strerror(errno);
        return false;
    }
    run.reports = reports.fd;
    return true;
}

// The processors this run may use, which a container or taskset may make
// fewer than the machine has.
unsigned processorCount()
{
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return static_cast<unsigned>(CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

unsigned workerCount(const ClassOptions& options, std::size_t students)
{
    unsigned jobs = options.jobs != 0 ? options.jobs : processorCount();
    return static_cast<unsigned>(std::min<std::size_t>(jobs, std::max<std::size_t>(students, 1)));
}

}  // namespace

bool gradeClass(const ClassOptions& options, const std::vector<Test>& tests,
                std::vector<Student>& students, std::vector<Tally>& tallies, std::string& error)
{
    ClassRun run(options, tests, students);
    for (const Test& test : tests) {
        run.references.push_back(test.file);
        run.indexes.push_back(indexReference(test.text));
    }
    Descriptor submissions;
    Descriptor reports;
    if (!openFolders(run, submissions, reports, error))
        return false;

    unsigned jobs = workerCount(options, students.size());
    std::uint64_t totalFiles = students.size() * tests.size();
    Progress progress = startProgress(STDERR_FILENO);
    run.workersLeft = jobs;
    tallies.assign(jobs, Tally());
    // Drawn once before any worker starts, so that a terminal always sees
    // the line, however soon the run ends.
    drawProgress(progress, 0, totalFiles);
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < jobs; ++i) {
        try {
            workers.emplace_back(work, std::ref(run), std::ref(tallies[i]));
        } catch (const std::system_error& trouble) {
            // Fewer workers than asked for grade the same class, the same way.
            std::lock_guard lock(run.mutex);
            run.workersLeft -= jobs - i;
            if (workers.empty()) {
                error = std::string("could not start a worker: ") + trouble.what();
                return false;
            }
            break;
        }
    }
    {
        std::unique_lock lock(run.mutex);
        while (!run.workerEnded.wait_for(lock, progressInterval, [&] { return run.workersLeft == 0; })) {
            lock.unlock();
            drawProgress(progress, run.filesDone, totalFiles);
            lock.lock();
        }
    }
    for (std::thread& worker : workers)
        worker.join();
    endProgress(progress);
    if (!run.error.empty()) {
        error = run.error;
        return false;
    }
    return true;
}

#include "class/run/student_run.h"

#include "class/run/class_run.h"
#include "class/run/exit_status.h"
#include "class/run/grade_student.h"
#include "io/descriptor.h"
#include "io/paths.h"
#include "io/visible_text.h"
#include "class/outputs/platform_results.h"
#include "class/intake/one_student.h"
#include "class/intake/references.h"
#include "class/outputs/wording.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string baseName(const std::string& path)
{
    std::vector<std::string_view> components = componentsOf(path);
    return components.empty() ? path : std::string(components.back());
}

// Grades every test of the student into `outcome`, as a class run grades
// each of its students; false, with `why`, where the grader's own trouble
// stopped it.
bool gradeStudentAlone(const ClassOptions& options, const std::vector<Test>& tests, const SubmissionSource& source,
                       std::vector<Student>& students, StudentOutcome& outcome, std::string& why)
{
    std::vector<std::uint64_t> lineCounts;
    std::vector<ReferenceIndex> indexes;
    for (const Test& test : tests) {
        lineCounts.push_back(test.lineCount);
        indexes.push_back(indexReference(test.text));
        ReferenceIndex& index = indexes.back();
        index.statements = learnStatements(test.program, index.symbols, index.values, index.hasValue);
        if (index.statements.literalPools)
            index.literalsAlike = learnStatements(test.program, index.symbols, index.values, index.hasValue, true);
    }
    MarkPlaces places(lineCounts);
    ReportFolders reports;
    StudentGrading grading{tests, indexes, places, reports, source, options.submissions, options.references, options.utf8};
    Tally tally;
    std::vector<LinkedFile> linked;
    auto worker = std::unique_ptr<Worker>(new Worker{Grader(), tally, linked});
    StopSignal stop;
    std::vector<std::string> kept(tests.size());
    gradeStudent(grading, *worker, students, 0, stop, &kept);
    if (stop.stopped) {
        why = stop.reason();
        return false;
    }
    const Student& student = students.front();
    for (std::size_t t = 0; t < tests.size(); ++t)
        outcome.tests.push_back(TestOutcome{tests[t].name, tests[t].number, student.results[t].score, tests[t].lineCount,
                                            {}, std::move(kept[t])});
    forEachFindingOf(student, [&](std::size_t test, const std::string& text) { outcome.tests[test].causes.push_back(text); });
    return true;
}

// Whether the student handed in no file for any test.
bool noTestFound(const Student& student)
{
    return std::all_of(student.results.begin(), student.results.end(),
                       [](const TestResult& result) { return result.state == FileState::missing; });
}

// What was looked for, and what the submission held instead.
std::string nothingFound(const std::vector<Test>& tests, const Student& student)
{
    std::string why = "no file for any test: looked for ";
    for (std::size_t t = 0; t < tests.size(); ++t)
        why += (t == 0 ? "" : t + 1 == tests.size() ? " and " : ", ") + tests[t].name;
    // Each missing test's note says what the submission held that no test
    // took: the same for every test.
    constexpr std::string_view missing = "missing; ";
    for (const FileNote& note : student.notes)
        if (note.kind == NoteKind::why && note.text.starts_with(missing))
            return why + "; " + note.text.substr(missing.size());
    return why + "; the submission holds no file";
}

std::string resultsText(const ClassOptions& options, const StudentOutcome& outcome)
{
    switch (options.platform) {
    case PlatformFormat::gradescope:
        return gradescopeResults(outcome, options.visibility);
    case PlatformFormat::prairielearn:
        return prairieLearnResults(outcome);
    case PlatformFormat::text:
        break;
    }
    // A line a test, on a terminal as often as not: the names of a
    // student's files must not act on it, nor start lines of their own
    // for a script that reads it.
    bool terminal = options.output.empty() && isatty(STDOUT_FILENO);
    return textResults(outcome, !terminal || options.utf8);
}

bool makeFoldersFor(const std::string& path)
{
    std::string folder = folderOf(path);
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        std::string prefix = folder.substr(0, slash);
        if (!prefix.empty() && mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

// Writes the results where they go; false, with `error`, where they cannot.
bool writeResults(const ClassOptions& options, const std::string& text, std::string& error)
{
    Descriptor file;
    int fd = STDOUT_FILENO;
    if (!options.output.empty()) {
        if (makeFoldersFor(options.output))
            file = Descriptor(open(options.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
        fd = file.fd;
        if (fd < 0) {
            error = "could not write " + options.output + ": " + std::strerror(errno);
            return false;
        }
    }
    auto out = std::make_unique<Output>();
    out->fd = fd;
    if (options.outputClosed && fd == STDOUT_FILENO) {
        out->failed = true;
        out->error = EBADF;
    }
    put(*out, text);
    if (flushOutput(*out))
        return true;
    // Half a results file is not one: a platform that finds none knows
    // the grader failed.
    if (!options.output.empty())
        unlink(options.output.c_str());
    error = "could not write " + (options.output.empty() ? std::string("to standard output") : options.output) + ": " +
            std::strerror(out->error);
    return false;
}

// The grader's trouble, told on standard error and, where the platform
// can take it, in its results file.
int cannotGrade(const ClassOptions& options, const std::string& why)
{
    if (options.platform == PlatformFormat::prairielearn) {
        StudentOutcome outcome;
        outcome.gradable = false;
        outcome.why = why;
        std::string ignored;
        writeResults(options, prairieLearnResults(outcome), ignored);
    }
    return trouble(why);
}

}  // namespace

int runStudent(const ClassOptions& options)
{
    ReferenceFolder loaded;
    std::string error;
    bool read = loadTests(options.references, loaded, error);
    std::string swapped =
        read && !loaded.tests.empty() ? "" : swappedFolders(options.references, options.submissions, options.utf8, "SUBMISSION");
    if (!swapped.empty()) {
        std::fputs(usageProblem("REFERENCES and SUBMISSION seem given the wrong way round: " + swapped).c_str(), stderr);
        return statusUsage;
    }
    if (!read)
        return cannotGrade(options, error);
    std::vector<Test>& tests = loaded.tests;
    // The platform shows the instructor what the grader said.
    for (const std::string& name : loaded.notTests)
        std::fprintf(stderr, "Warning: %s is not a test: %s\n",
                     visibleText(pathInFolder(options.references, name), options.utf8).c_str(),
                     testExtensionWords(tests).c_str());
    if (tests.empty())
        return cannotGrade(options, "the folder " + options.references + " holds no test");
    if (!loadSources(options, tests, error))
        return cannotGrade(options, error);
    std::string why;
    std::unique_ptr<SubmissionSource> source = oneStudentSource(options.submissions, tests, why);
    if (source == nullptr)
        return cannotGrade(options, "could not read " + options.submissions + ": " + why);
    std::vector<Student> students(1);
    students.front().name = baseName(options.submissions);
    students.front().hasFolder = true;
    StudentOutcome outcome;
    if (!gradeStudentAlone(options, tests, *source, students, outcome, why))
        return cannotGrade(options, why);
    // Nothing to grade is no grade of 0: PrairieLearn then charges the
    // student no attempt.
    if (options.platform == PlatformFormat::prairielearn && noTestFound(students.front()))
        return cannotGrade(options, nothingFound(tests, students.front()));
    if (!writeResults(options, resultsText(options, outcome), error))
        return trouble(error);
    return statusGraded;
}

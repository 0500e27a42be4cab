#include "class/run/student_run.h"

#include "class/run/exit_status.h"
#include "class/intake/folder_submissions.h"
#include "class/run/grade_file.h"
#include "io/archive.h"
#include "io/descriptor.h"
#include "io/folder.h"
#include "io/paths.h"
#include "io/visible_text.h"
#include "class/outputs/platform_results.h"
#include "class/intake/references.h"
#include "class/intake/uploads.h"
#include "class/outputs/wording.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What the student handed in, and where each file is read from.
struct Submission {
    Descriptor fd;
    bool archive = false;
    StudentPlaces places;
    Handed handed;
};

std::string baseName(const std::string& path)
{
    std::vector<std::string_view> components = componentsOf(path);
    return components.empty() ? path : std::string(components.back());
}

// A submission that is an archive: its regular files, at any depth, are the
// student's own.
bool gatherArchive(Submission& submission, std::string& why)
{
    ArchiveReader reader;
    UploadListing listing = listUpload(reader, openArchive(submission.fd.fd, ArchiveKind::studentUpload, reader));
    if (listing.entries.empty() && !listing.problem.empty()) {
        why = "it cannot be read as an archive: " + listing.problem;
        return false;
    }
    if (std::string trouble = uploadTrouble(listing, "the archive"); !trouble.empty())
        submission.handed.troubles.push_back(trouble);
    for (UploadEntry& entry : listing.entries) {
        submission.handed.files.push_back(HandedIn{entry.name, entry.path, false});
        submission.handed.sources.push_back(FileSource{SourceKind::inDownload, 0, entry.path, entry.state});
    }
    return true;
}

bool openSubmission(const ClassOptions& options, const std::vector<FileId>& references, Submission& submission,
                    std::string& why)
{
    submission.fd = Descriptor(open(options.submissions.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info;
    if (submission.fd.fd < 0 || fstat(submission.fd.fd, &info) != 0) {
        why = std::strerror(errno);
        return false;
    }
    if (S_ISREG(info.st_mode)) {
        submission.archive = true;
        return gatherArchive(submission, why);
    }
    if (!S_ISDIR(info.st_mode)) {
        why = "it is neither a folder nor an archive";
        return false;
    }
    Student student;
    student.folders.push_back(".");
    int error = 0;
    submission.handed = gatherHanded(submission.fd.fd, false, student, references, submission.places, error);
    if (error != 0) {
        why = std::strerror(error);
        return false;
    }
    return true;
}

// The chosen file, opened to be graded.
StudentFile openChosen(const Submission& submission, std::size_t file, const std::vector<FileId>& references)
{
    if (!submission.archive)
        return openHanded(submission.places, submission.handed, file, references);
    const FileSource& source = submission.handed.sources[file];
    StudentFile opened;
    if (source.refused != FileState::graded) {
        opened.state = source.refused;
        return opened;
    }
    return readFromUpload(submission.fd.fd, source.entry);
}

// A file inside an upload is shown beneath the upload's own name.
std::string pathOf(const ClassOptions& options, const Submission& submission, std::size_t file)
{
    return pathInFolder(options.submissions, submission.handed.files[file].shown);
}

// Grades every test of the student into `outcome`.
void gradeStudentAlone(const ClassOptions& options, const std::vector<Test>& tests, const Submission& submission,
                       Student& student, StudentOutcome& outcome)
{
    std::vector<std::uint64_t> lineCounts;
    std::vector<FileId> references;
    for (const Test& test : tests) {
        lineCounts.push_back(test.lineCount);
        references.push_back(test.file);
    }
    MarkPlaces places(lineCounts);
    Tally tally;
    auto grader = std::make_unique<Grader>();
    std::vector<Choice> choices = chooseFiles(tests, submission.handed, student.notes);
    student.results.assign(tests.size(), TestResult{});
    std::vector<std::string> reports(tests.size());
    for (std::size_t t = 0; t < tests.size(); ++t) {
        const Test& test = tests[t];
        TestResult& result = student.results[t];
        result.state = choices[t].state;
        restartOutput(grader->report, -1);
        grader->report.kept = &reports[t];
        if (result.state == FileState::graded) {
            StudentFile file = openChosen(submission, choices[t].file, references);
            result.state = file.state;
            if (file.state == FileState::graded) {
                ReferenceIndex index = indexReference(test.text);
                TestToGrade toGrade{test, static_cast<std::uint32_t>(t), index, places, reportLimitFor(test)};
                result = gradeFile(*grader, tally, toGrade, 0, file,
                                   ReportHeading{test.number, pathOf(options, submission, choices[t].file),
                                                 pathInFolder(options.references, test.name)});
            }
        }
        if (result.state != FileState::graded) {
            restartOutput(grader->report, -1);
            put(grader->report, test.name + ": " + std::string(reasonOf(result.state)) + "\n");
        }
        flushOutput(grader->report);
        grader->report.kept = nullptr;
    }
    for (std::size_t t = 0; t < tests.size(); ++t)
        outcome.tests.push_back(TestOutcome{tests[t].name, tests[t].number, student.results[t].score, tests[t].lineCount,
                                            {}, std::move(reports[t])});
    forEachFindingOf(student, [&](std::size_t test, const std::string& text) { outcome.tests[test].causes.push_back(text); });
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
    std::vector<Test> tests;
    std::vector<std::string> skipped;
    std::string error;
    if (!loadTests(options.references, tests, skipped, error))
        return cannotGrade(options, error);
    if (tests.empty())
        return cannotGrade(options, "the folder " + options.references + " holds no test");
    std::vector<FileId> references;
    for (const Test& test : tests)
        references.push_back(test.file);
    Submission submission;
    std::string why;
    if (!openSubmission(options, references, submission, why))
        return cannotGrade(options, "could not read " + options.submissions + ": " + why);
    Student student;
    student.name = baseName(options.submissions);
    StudentOutcome outcome;
    gradeStudentAlone(options, tests, submission, student, outcome);
    if (!writeResults(options, resultsText(options, outcome), error))
        return trouble(error);
    return statusGraded;
}

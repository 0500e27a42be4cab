#include "class/run/class_run.h"

#include "class/intake/download_archive.h"
#include "class/run/grade_class.h"
#include "class/run/threads.h"
#include "class/outputs/csv_records.h"
#include "class/outputs/utf16_text.h"
#include "class/outputs/gradebook.h"
#include "class/outputs/html_page.h"
#include "class/outputs/json_run.h"
#include "io/descriptor.h"
#include "io/folder.h"
#include "io/output.h"
#include "io/paths.h"
#include "io/visible_text.h"
#include "class/intake/file_matching.h"
#include "class/intake/references.h"
#include "class/intake/roster.h"
#include "class/intake/students.h"
#include "class/intake/top_file.h"
#include "class/intake/test_programs.h"
#include "class/explaining/summary.h"
#include "class/outputs/summary_text.h"
#include "class/sites/site.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <memory>
#include <thread>
#include <unistd.h>

int usageTrouble(const std::string& problem)
{
    std::fputs(usageProblem(problem).c_str(), stderr);
    return statusUsage;
}

namespace {

constexpr std::string_view wrongWayRound = "REFERENCES and SUBMISSIONS seem given the wrong way round: ";

// SUBMISSIONS, open: a folder, or an archive and what its first pass found.
struct OpenSubmissions {
    Descriptor fd;
    bool archive = false;
    const CourseSite* site = courseSites().front();  // the layout read
    DownloadPlan plan;
    std::string root;  // where the students' folders lie, as reports name it
};

// The run's time, as a gradebook dates its grades: SOURCE_DATE_EPOCH where
// it is set (so that a run can be repeated to the byte), else now; in UTC,
// and saying so, since a site reads it in its server's zone, not the run's.
std::string runTime()
{
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    std::time_t when = std::time(nullptr);
    if (epoch != nullptr && *epoch != '\0' && std::strspn(epoch, "0123456789") == std::strlen(epoch))
        when = static_cast<std::time_t>(std::strtoll(epoch, nullptr, 10));
    std::tm utc{};
    char text[32] = "";
    if (gmtime_r(&when, &utc) != nullptr)
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S+00:00", &utc);
    return text;
}

void warn(const std::string& message)
{
    std::fprintf(stderr, "Warning: %s\n", message.c_str());
}

// The option's own trouble, told without the usage, which would hide it.
int optionTrouble(const std::string& message)
{
    std::fprintf(stderr, "labelgrade-class: %s\n", message.c_str());
    return statusUsage;
}

// A site's export, as --into gives it: read, and whose it is.
struct IntoFile {
    CsvFile file;
    const CourseSite* site = nullptr;
    bool utf16 = false;  // read as UTF-16LE text, and written back so
};

// A gradebook export is a few megabytes at most, even for a large course.
constexpr std::size_t largestExport = 64 << 20;

bool readWhole(const std::string& path, std::string& text, std::string& error)
{
    // Not blocking: a FIFO named as the file must not hold the run.
    Descriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info;
    if (fd.fd < 0 || fstat(fd.fd, &info) != 0) {
        error = "could not read " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode) || static_cast<std::uint64_t>(info.st_size) > largestExport) {
        error = "could not read " + path + ": it is not a gradebook export (" +
                (S_ISREG(info.st_mode) ? "larger than any" : "not a regular file") + ")";
        return false;
    }
    text.resize(static_cast<std::size_t>(info.st_size));
    std::size_t got = 0;
    while (got < text.size()) {
        ssize_t n = read(fd.fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = "could not read " + path + ": " + std::strerror(errno);
            return false;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    return true;
}

FillRequest fillRequest(const ClassOptions& options, const IntoFile& into, const std::vector<Test>& tests,
                        const std::vector<Student>& students, bool siteIds)
{
    return FillRequest{into.file, options.into, tests, students, siteIds, options.assignment, options.scale,
                       isatty(STDOUT_FILENO) != 0, options.utf8};
}

// Reads --into's file and finds whose export it is; a file no site's, or
// another than --format's, or whose columns or maximum do not suit the
// run, is the command line's trouble, told before any student is graded.
int readInto(const ClassOptions& options, const std::vector<Test>& tests, IntoFile& into)
{
    std::string text;
    std::string problem;
    if (!readWhole(options.into, text, problem))
        return trouble(problem);
    if (looksUtf16le(text)) {
        std::string utf8;
        if (!utf16leToUtf8(text, utf8))
            return optionTrouble("--into " + options.into + " is no CSV file a site wrote: it reads as UTF-16 "
                                 "text, but holds what is none");
        text = std::move(utf8);
        into.utf16 = true;
    }
    if (!readCsvRecords(std::move(text), into.file, problem))
        return optionTrouble("--into " + options.into + " is no CSV file a site wrote: " + problem);
    std::vector<std::string_view> exports;
    for (const CourseSite* site : courseSites()) {
        if (site->gradebook.isExport == nullptr)
            continue;
        exports.push_back(site->gradebook.exportName);
        if (into.site == nullptr && site->gradebook.isExport(into.file))
            into.site = site;
    }
    std::vector<Student> none;
    FillRequest request = fillRequest(options, into, tests, none, false);
    if (into.site == nullptr)
        return optionTrouble("--into " + options.into + " is not " + listed(exports, " or ") +
                             ": its columns are " + columnsRead(request));
    if (options.formatGiven && into.site != options.gradebook)
        return optionTrouble("--format " + std::string(options.gradebook->gradebook.format) + " and --into " +
                             options.into + ", which is " + std::string(into.site->gradebook.exportName) +
                             ", name different gradebooks");
    if (!options.assignment.empty() && into.site->gradebook.assignmentColumnIn.empty())
        return optionTrouble("--assignment names a column of an export that has one for each assignment; " +
                             options.into + ", " + std::string(into.site->gradebook.exportName) + ", has none");
    Filled filled;
    into.site->gradebook.fill(request, filled);
    if (!filled.problem.empty())
        return optionTrouble(filled.problem);
    return statusGraded;
}

// The instructor's own mistake, told once per line: every student loses the
// line, since no student's line can match half a symbol.
void warnIncompleteReferences(const ClassOptions& options, const std::vector<Test>& tests)
{
    for (const Test& test : tests)
        for (std::uint64_t line : incompleteLines(test.text))
            warn(pathInFolder(options.references, test.name) + " line " + std::to_string(line) +
                 " holds no address and label: no student can be right there");
}

}  // namespace

bool loadSources(const ClassOptions& options, std::vector<Test>& tests, std::string& error)
{
    if (options.sources.empty())
        return true;
    std::vector<std::string> missing;
    std::vector<std::string> several;
    if (!loadTestPrograms(options.sources, tests, missing, several, error))
        return false;
    for (const std::string& name : missing)
        warn("no test program for " + visibleText(name, options.utf8) + " in " + options.sources +
             ": its address errors are explained by the symbol tables alone");
    for (const std::string& name : several)
        warn(options.sources + " holds more than one program for " + visibleText(name, options.utf8) +
             ": the first by name is read");
    return true;
}

namespace {

// The files of REFERENCES that are not tests, each named: a README beside
// the references would be a test that every student misses.
void warnNotTests(const ClassOptions& options, const std::vector<Test>& tests, const std::vector<std::string>& notTests)
{
    for (const std::string& name : notTests)
        warn(pathInFolder(options.references, visibleText(name, options.utf8)) + " is not a test: " +
             testExtensionWords(tests));
}

// The tests no student handed in a file for, in one warning: more likely
// files that are no tests, or named otherwise than the students were told.
void warnTestsNoOneHandedIn(const ClassOptions& options, const std::vector<Test>& tests,
                            const std::vector<Student>& students)
{
    if (students.empty())
        return;
    std::vector<std::string> unused;
    for (std::size_t t = 0; t < tests.size(); ++t) {
        bool handedIn = std::any_of(students.begin(), students.end(), [&](const Student& student) {
            if (t >= student.results.size())
                return false;
            FileState state = student.results[t].state;
            return state != FileState::missing && state != FileState::noSubmission;
        });
        if (!handedIn)
            unused.push_back(pathInFolder(options.references, visibleText(tests[t].name, options.utf8)));
    }
    constexpr std::size_t mostNamed = 3;
    std::string named;
    for (std::size_t i = 0; i < unused.size() && i < mostNamed; ++i)
        named += (i == 0 ? "" : i + 1 == unused.size() ? " and " : ", ") + unused[i];
    if (unused.size() > mostNamed)
        named += " and " + std::to_string(unused.size() - mostNamed) + " more";
    if (!unused.empty())
        warn("no student handed in a file for the test" + std::string(unused.size() == 1 ? " " : "s ") + named);
}

// A folder SUBMISSIONS whose one folder was read as the class: its
// students' folders lie in that one.
bool enterWithin(const ClassOptions& options, const Listing& listing, OpenSubmissions& submissions, std::string& error)
{
    if (listing.within.empty())
        return true;
    submissions.root = pathInFolder(options.submissions, listing.within);
    submissions.fd = Descriptor(
        openat(submissions.fd.fd, listing.within.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (submissions.fd.fd >= 0)
        return true;
    error = "could not read the folder " + submissions.root + ": " + std::strerror(errno);
    return false;
}

// SUBMISSIONS, listed: a folder, or an archive's first pass.
bool listSubmissions(const ClassOptions& options, const std::vector<Test>& tests, OpenSubmissions& submissions,
                     std::vector<Student>& students, Listing& listing, std::string& error)
{
    // Not blocking: SUBMISSIONS named as a FIFO must not hold the run.
    submissions.fd = Descriptor(open(options.submissions.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info;
    if (submissions.fd.fd < 0 || fstat(submissions.fd.fd, &info) != 0) {
        error = "could not read " + options.submissions + ": " + std::strerror(errno);
        return false;
    }
    submissions.root = options.submissions;
    if (S_ISDIR(info.st_mode))
        return listStudents(options.submissions, options.layout, options.followLinks, students, listing, error) &&
               enterWithin(options, listing, submissions, error);
    if (!S_ISREG(info.st_mode)) {
        error = "could not read " + options.submissions + ": it is neither a folder nor an archive";
        return false;
    }
    submissions.archive = true;
    if (!planDownload(submissions.fd.fd, options.layout, tests, submissions.plan, error)) {
        error = "could not read " + options.submissions + ": " + visibleText(error, options.utf8);
        return false;
    }
    students = std::move(submissions.plan.students);
    listing = std::move(submissions.plan.listing);
    for (const std::string& warning : submissions.plan.warnings)
        warn(options.submissions + ": " + visibleText(warning, options.utf8));
    return true;
}

// The entries at the top that are the tests' files, as one student's
// folder holds them, found as a student's files are.
std::vector<std::string_view> testsFilesAmong(const std::vector<Test>& tests, const std::vector<std::string>& names)
{
    std::vector<HandedIn> files;
    for (const std::string& name : names)
        files.push_back(HandedIn{name, name, false});
    std::vector<std::string_view> found;
    for (const Test& test : tests)
        for (std::size_t file : matchTest(test.name, files).found)
            found.push_back(names[file]);
    return found;
}

// What SUBMISSIONS held when it yields no student: nothing but a Mac's
// litter; one student's files; or the entries at its top, and the layouts
// tried.
std::string noStudent(const ClassOptions& options, const std::vector<Test>& tests, const Listing& listing)
{
    if (listing.ignored.empty())
        return options.submissions + " holds no student: nothing but __MACOSX and names that start with a dot, "
                                     "which macOS adds beside files, as a download that lost its files on the way";
    std::vector<std::string_view> testsFiles = testsFilesAmong(tests, listing.ignored);
    if (!testsFiles.empty()) {
        std::vector<std::string> shown;
        for (std::string_view name : testsFiles)
            shown.push_back(visibleText(name, options.utf8));
        return options.submissions + " holds one student's files (" +
               listed(std::vector<std::string_view>(shown.begin(), shown.end()), " and ") +
               "), not a folder for each student: --student grades one student";
    }
    std::vector<std::string_view> names;
    for (const SiteNames* site : options.layout.sites)
        names.push_back(site->name);
    std::string tried = options.layout.given
                            ? "in the layout asked for, " + std::string(names[options.layout.site])
                            : "in any of the layouts " + listed(names, " and ");
    return options.submissions + " holds no student: " + std::to_string(listing.ignored.size()) +
           (listing.ignored.size() == 1 ? " entry" : " entries") + " at its top, none of them a student's " + tried +
           " (--layout chooses one)";
}

// The students, in `notices` what the summary names before its figures, and
// in `about` what it says of SUBMISSIONS.
bool loadStudents(const ClassOptions& options, const std::vector<Test>& tests, OpenSubmissions& submissions,
                  std::vector<Student>& students, std::vector<std::string>& notices, std::vector<std::string>& about,
                  std::string& error)
{
    Listing listing;
    if (!listSubmissions(options, tests, submissions, students, listing, error))
        return false;
    submissions.site = courseSites()[listing.site];
    if (students.empty() && (!listing.ignored.empty() || listing.litter != 0) && options.roster.empty()) {
        error = noStudent(options, tests, listing);
        return false;
    }
    std::string top = listing.within.empty()
                          ? options.submissions
                          : pathInFolder(options.submissions, visibleText(listing.within, options.utf8));
    if (submissions.archive || submissions.site->foundOfFolder || !listing.within.empty())
        about.push_back(foundWords(*submissions.site, submissions.archive));
    if (!listing.within.empty())
        about.push_back("SUBMISSIONS is read inside its one folder, " + top);
    auto shown = [&](const std::string& name) { return pathInFolder(top, visibleText(name, options.utf8)); };
    for (const auto& [name, target] : listing.followed)
        notices.push_back(shown(name) + " is a link, followed to " + visibleText(target, options.utf8));
    for (const std::string& name : listing.ignored)
        warn(shown(name) + std::string(submissions.site->ignoredWhy));
    for (const auto& [name, earlier] : listing.sameFolder)
        warn(shown(name) + " is the same folder as " + shown(earlier) + ": both are graded on its files");
    auto who = [&](const std::string& name, const std::string& id) {
        return visibleText(name, options.utf8) + " (" + visibleText(id, options.utf8) + ")";
    };
    // A flat download's submission is many entries: told once.
    for (std::size_t i = 0, next = 0; i < listing.older.size(); i = next) {
        const OlderSubmission& older = listing.older[i];
        for (next = i + 1; next < listing.older.size() && listing.older[next].name == older.name &&
                           listing.older[next].newest == older.newest;)
            ++next;
        std::string who = visibleText(older.name, options.utf8);
        notices.push_back(shown(older.entry) +
                          (next - i == 1 ? " is " + who + "'s older submission"
                                         : " and " + std::to_string(next - i - 1) + " more entries are of " + who +
                                               "'s older submissions") +
                          ", not graded: their newest is " + visibleText(older.newest, options.utf8));
    }
    for (const DoubtfulEntry& doubt : listing.doubtful)
        warn(shown(doubt.entry) + " could be the file of " + who(doubt.otherName, doubt.otherSiteId) + " or of " +
             who(doubt.name, doubt.siteId) + ", and the download does not tell: it is graded as " +
             visibleText(doubt.name, options.utf8) + "'s, whose name holds the other's ids, never as " +
             visibleText(doubt.otherName, options.utf8) + "'s");
    // What the site read in a receipt is the student's text: shown as any is.
    for (const EntryRemark& remark : listing.remarks) {
        std::string said = shown(remark.entry) + visibleText(remark.text, options.utf8);
        if (remark.warns)
            warn(said);
        else
            notices.push_back(said);
    }
    for (const std::string& lookAlike : lookAlikeStudents(students))
        warn(lookAlike);
    std::vector<std::string> roster;
    if (!options.roster.empty() && !readRoster(options.roster, roster, error))
        return false;
    std::vector<std::string> rosterWarnings;
    if (!options.roster.empty())
        applyRoster(students, std::move(roster), &rosterWarnings);
    for (const std::string& rosterWarning : rosterWarnings)
        warn(rosterWarning);
    // Namesakes are named apart once the roster has matched them by the
    // name they share.
    nameNamesakesApart(students);
    for (const Student& student : students)
        if (!options.roster.empty() && !student.onRoster)
            warn(shown(student.name) + " is not on the roster: graded all the same");
    return true;
}

// The page is opened before the class is graded, so that a path that
// cannot be written is told at once, not after the whole run.
bool openPage(const ClassOptions& options, Descriptor& page, std::string& error)
{
    if (options.htmlPage.empty())
        return true;
    page = Descriptor(open(options.htmlPage.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (page.fd >= 0)
        return true;
    error = "could not write " + options.htmlPage + ": " + std::strerror(errno);
    return false;
}

// The JSON, like the page, is opened before the class is graded.
bool openJson(const ClassOptions& options, Descriptor& json, std::string& error)
{
    if (options.json.empty())
        return true;
    json = Descriptor(open(options.json.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (json.fd >= 0)
        return true;
    error = "could not write " + options.json + ": " + std::strerror(errno);
    return false;
}

// The JSON's tests and students, which need no summary, are written first;
// the summary after, once the class is summarized.
bool finishJson(const ClassOptions& options, Output& json, const ClassSummary& summary, const std::vector<Test>& tests,
               std::string& error)
{
    writeJsonSummary(json, summary, tests);
    if (flushOutput(json))
        return true;
    error = "could not write " + options.json + ": " + std::strerror(json.error);
    return false;
}

bool writePage(const ClassOptions& options, int page, const ClassSummary& summary, const std::vector<Test>& tests,
               const std::vector<Student>& students, std::string& error)
{
    PageHeading heading{options.title, options.date, ""};
    if (!options.reportsDir.empty() && !reportsLinkFrom(options.htmlPage, options.reportsDir, heading.reportsLink)) {
        error = "could not write " + options.htmlPage + ": its folder cannot be found";
        return false;
    }
    auto report = std::make_unique<Output>();
    report->fd = page;
    writeClassPage(*report, summary, tests, students, heading);
    if (flushOutput(*report))
        return true;
    error = "could not write " + options.htmlPage + ": " + std::strerror(report->error);
    return false;
}

// The page and the JSON, written, and the summary, kept in `summaryText`
// (it is short: it names at most a hundred findings) to be told once the
// gradebook is out; `error` says what could not be written.  `kinds`
// gives the summary's kinds, counted beside this, or false where they
// could not be, which is told for itself.
void explainClass(const ClassOptions& options, int page, int json, const std::vector<Test>& tests,
                  const std::vector<Student>& students, const SummaryNotes& notes, const MarkPlaces& places,
                  std::vector<Tally>& tallies, const std::function<bool(std::vector<FindingCount>&)>& kinds,
                  std::string& summaryText, std::string& error)
{
    auto jsonOut = std::make_unique<Output>();
    jsonOut->fd = json;
    if (json >= 0)
        writeJsonStudents(*jsonOut, tests, students);
    ClassSummary summary = summarizeClassButKinds(tests, students, places, tallies);
    tallies.clear();
    if (!kinds(summary.kinds))
        return;
    if (page >= 0 && !writePage(options, page, summary, tests, students, error))
        return;
    if (json >= 0 && !finishJson(options, *jsonOut, summary, tests, error))
        return;
    if (!options.quiet) {
        auto text = std::make_unique<Output>();
        text->kept = &summaryText;
        writeSummary(*text, summary, tests, students, notes, options.utf8);
        flushOutput(*text);
    }
}

// The feedback zip is started before the class is graded, so that a path
// that cannot be written is told at once.
bool openFeedback(const ClassOptions& options, Descriptor& file, std::unique_ptr<FeedbackZip>& feedback,
                  std::string& error)
{
    if (options.feedback.empty())
        return true;
    file = Descriptor(open(options.feedback.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    feedback = std::make_unique<FeedbackZip>();
    if (file.fd >= 0 && openZipWriter(file.fd, feedback->zip))
        return true;
    error = "could not write " + options.feedback + ": " + std::strerror(file.fd < 0 ? errno : feedback->zip.error);
    return false;
}

// Ends the feedback zip, and names the students it could not take.
bool closeFeedback(const ClassOptions& options, FeedbackZip& feedback, const std::vector<Student>& students,
                   const OpenSubmissions& submissions, std::string& error)
{
    writeWaitingFeedback(feedback);
    std::string kept;
    std::string_view keeps = submissions.site->feedbackKeeps;
    if (!keeps.empty() && !feedback.failed &&
        readTopFile(submissions.fd.fd, submissions.archive, submissions.plan.unwrappedFolder, keeps, kept))
        feedback.failed = !addZipFile(feedback.zip, keeps, kept);
    for (std::size_t student : feedback.skipped)
        warn("no feedback for " + visibleText(students[student].name, options.utf8) +
             ": the course site takes it back only against a file the student handed in, under a name it takes");
    for (const auto& [student, path] : feedback.renamed)
        warn(visibleText(students[student].name, options.utf8) + "'s feedback is " + visibleText(path, options.utf8) +
             " in " + options.feedback +
             ": its own name would be taken for another student's where the zip is unzipped");
    if (!feedback.failed && closeZipWriter(feedback.zip))
        return true;
    error = "could not write " + options.feedback + ": " + std::strerror(feedback.zip.error);
    return false;
}

// The identities of the run's outputs that are files: the page, the JSON, the feedback, and
// standard output and standard error where they are files, which no report
// may be.
std::vector<FileId> outputsOf(int page, int json, int feedback)
{
    std::vector<FileId> outputs;
    for (int fd : {page, json, feedback, STDOUT_FILENO, STDERR_FILENO}) {
        struct stat info;
        if (fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
            outputs.push_back(FileId{info.st_dev, info.st_ino});
    }
    return outputs;
}

// The paths that the run reads or writes besides the reports.
std::vector<std::string> takenPaths(const ClassOptions& options)
{
    std::vector<std::string> taken{options.submissions, options.references};
    for (const std::string* path : {&options.roster, &options.htmlPage, &options.json, &options.feedback})
        if (!path->empty())
            taken.push_back(*path);
    for (int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        char target[4096];
        ssize_t size = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target);
        if (size > 0 && target[0] == '/' && static_cast<std::size_t>(size) < sizeof target)
            taken.emplace_back(target, static_cast<std::size_t>(size));
    }
    return taken;
}

// Whether a report could not be written: each is noted on its student's
// row, and the run ends telling it, with the first one's path.
bool reportsFailed(const ClassOptions& options, const ReportFolders& reports, const std::vector<Test>& tests,
                   const std::vector<Student>& students, std::string& error)
{
    std::uint64_t failed = 0;
    std::string first;
    for (const Student& student : students)
        for (std::size_t t = 0; t < tests.size(); ++t)
            if (int reportError = student.results[t].reportError; reportError != 0 && failed++ == 0)
                first = (student.reportFolder.empty()
                             ? pathInFolder(options.reportsDir, visibleText(student.name, options.utf8))
                             : shownReportPath(reports, student, tests[t])) +
                        ": " + std::strerror(reportError);
    if (failed == 0)
        return false;
    error = "could not write " + std::to_string(failed) + (failed == 1 ? " report" : " reports") +
            ", each noted on its student's row; the first: " + first;
    return true;
}

// Whether every file looked for could not be read, and in the same way:
// then the trouble is the grader's (a sandbox that denies a call, say), not
// every student's, and a class of zeros would hide it.
bool failedAlike(const std::vector<Student>& students, std::string& error)
{
    const TestResult* first = nullptr;
    for (const Student& student : students)
        for (const TestResult& result : student.results) {
            if (result.state == FileState::noSubmission)
                continue;
            if (result.state == FileState::graded)
                return false;
            if (first == nullptr)
                first = &result;
            else if (result.state != first->state || result.error != first->error)
                return false;
        }
    if (first == nullptr || (first->state != FileState::unreadable && first->state != FileState::outOfMemory))
        return false;
    if (first->state == FileState::outOfMemory) {
        error = "out of memory: no student's file could be graded";
        return true;
    }
    error = "no student's file could be read";
    if (first->error != 0)
        error += std::string(": ") + std::strerror(first->error);
    return true;
}

}  // namespace

int runClass(const ClassOptions& options)
{
    std::string error;
    ReferenceFolder loaded;
    bool read = loadTests(options.references, loaded, error);
    if (!read || loaded.tests.empty())
        if (std::string swapped = swappedFolders(options.references, options.submissions, options.utf8); !swapped.empty())
            return usageTrouble(std::string(wrongWayRound) + swapped);
    if (!read)
        return trouble(error);
    std::vector<Test> tests = std::move(loaded.tests);
    for (const std::string& name : loaded.skipped)
        warn(pathInFolder(options.references, visibleText(name, options.utf8)) + " is not a regular file: not a test");
    if (tests.empty())
        return trouble("the folder " + options.references + " holds no test: no regular file whose name does not "
                       "start with a dot");
    warnNotTests(options, tests, loaded.notTests);
    warnIncompleteReferences(options, tests);
    if (!loadSources(options, tests, error))
        return trouble(error);
    IntoFile into;
    if (!options.into.empty())
        if (int status = readInto(options, tests, into); status != statusGraded)
            return status;

    std::vector<Student> students;
    std::vector<std::string> notices;
    std::vector<std::string> about;
    OpenSubmissions submissions;
    if (!loadStudents(options, tests, submissions, students, notices, about, error))
        return trouble(error);
    bool anonymous = std::any_of(students.begin(), students.end(), [](const Student& s) { return s.anonymous; });
    // A site's own export, filled in, matches its rows by what they hold,
    // whatever the download was.
    if (std::string misfit = gradebookMisfit(*options.gradebook, *submissions.site, anonymous);
        options.into.empty() && !misfit.empty()) {
        std::fprintf(stderr, "labelgrade-class: --format %s does not fit SUBMISSIONS%s\n",
                     std::string(options.gradebook->gradebook.format).c_str(), misfit.c_str());
        return statusUsage;
    }
    if (std::string_view note = options.gradebook->gradebook.ownMakingNote; options.into.empty() && !note.empty())
        about.emplace_back(note);
    if (std::string_view note = submissions.site->feedbackNote; !options.feedback.empty() && !note.empty())
        about.push_back(options.feedback + std::string(note));
    // The reports folder is made before the page is opened, which may lie
    // in it, and each student's folder in it is chosen once the page and
    // the other outputs stand, so that no name can take theirs.
    ReportFolders reports;
    Descriptor reportsRoot;
    if (!options.reportsDir.empty()) {
        if (liesWithin(resolvedPath(options.submissions), resolvedPath(options.reportsDir)))
            return usageTrouble("--reports may not lie inside SUBMISSIONS, where a student's name could take its "
                                "place: write the reports elsewhere");
        if (!openReportsRoot(options.reportsDir, options.utf8, reports, reportsRoot, error))
            return trouble(error);
    }
    Descriptor page;
    if (!openPage(options, page, error))
        return trouble(error);
    Descriptor json;
    if (!openJson(options, json, error))
        return trouble(error);
    Descriptor feedbackFile;
    std::unique_ptr<FeedbackZip> feedback;
    if (!openFeedback(options, feedbackFile, feedback, error))
        return trouble(error);
    if (reports.root >= 0) {
        reports.outputs = outputsOf(page.fd, json.fd, feedbackFile.fd);
        std::vector<std::string> troubles;
        chooseReportFolders(reports, takenPaths(options), students, notices, troubles);
        for (const std::string& folderTrouble : troubles)
            warn(folderTrouble);
    }
    std::vector<std::uint64_t> lineCounts;
    for (const Test& test : tests)
        lineCounts.push_back(test.lineCount);
    MarkPlaces places(lineCounts);
    std::vector<Tally> tallies;
    std::vector<LinkedFile> linked;
    Submissions open{submissions.fd.fd, submissions.archive ? &submissions.plan : nullptr, submissions.site,
                     submissions.root};
    if (!gradeClass(options, tests, places, reports, open, feedback.get(), students, tallies, linked, error))
        return trouble(error);
    if (feedback && !closeFeedback(options, *feedback, students, submissions, error))
        return trouble(error);
    noteSameFiles(std::move(linked), students, tests, options.utf8, notices);
    if (failedAlike(students, error))
        return trouble(error);
    warnTestsNoOneHandedIn(options, tests, students);

    // The gradebook and the explaining read the same results and write to
    // different places: they are written side by side.  The explaining, the
    // longer, is done here; the gradebook, and then the count of findings by
    // kind that the summary names, on a thread of its own, which starts a
    // moment late, and so is given the shorter share.
    auto gradebook = std::make_unique<Output>();
    gradebook->fd = STDOUT_FILENO;
    if (options.outputClosed) {
        gradebook->failed = true;
        gradebook->error = EBADF;
    }
    bool explaining = !options.quiet || page.fd >= 0 || json.fd >= 0;
    std::vector<FindingCount> kinds;
    auto writeGradebook = [&] {
        if (into.site != nullptr) {
            Filled filled;
            into.site->gradebook.fill(fillRequest(options, into, tests, students, into.site == submissions.site), filled);
            for (const std::string& warning : filled.warnings)
                warn(warning);
            put(*gradebook, into.utf16 ? utf8ToUtf16le(filled.text) : filled.text);
        } else {
            GradebookShape shape{options.gradebook == submissions.site, options.assignment, runTime(),
                                 isatty(STDOUT_FILENO) != 0, options.utf8};
            options.gradebook->gradebook.write(*gradebook, tests, students, shape);
        }
        flushOutput(*gradebook);
        if (explaining)
            kinds = countKinds(students);
    };
    StopSignal gradebookStop;
    std::jthread writing;
    std::string why;
    // Where no thread can start, the gradebook is written here, first.
    if (!explaining || !startThread(writing, gradebookStop, writeGradebook, why))
        runStopping(gradebookStop, writeGradebook);
    std::string summaryText;
    std::string explainError;
    StopSignal explainStop;
    auto kindsCounted = [&](std::vector<FindingCount>& counted) {
        if (writing.joinable())
            writing.join();
        counted = std::move(kinds);
        return !gradebookStop.stopped;
    };
    if (explaining)
        runStopping(explainStop, [&] {
            explainClass(options, page.fd, json.fd, tests, students, SummaryNotes{about, notices, options.htmlPage},
                         places, tallies, kindsCounted, summaryText, explainError);
        });
    if (writing.joinable())
        writing.join();
    if (gradebookStop.stopped)
        return trouble(gradebookStop.reason());
    bool written = !gradebook->failed;
    int writeError = gradebook->error;
    if (!written)
        return trouble(std::string("could not write the gradebook to standard output: ") + std::strerror(writeError));
    if (explainStop.stopped)
        return trouble(explainStop.reason());
    if (!explainError.empty())
        return trouble(explainError);
    // What cannot be written to standard error cannot be told either.
    auto text = std::make_unique<Output>();
    text->fd = STDERR_FILENO;
    put(*text, summaryText);
    flushOutput(*text);
    if (reportsFailed(options, reports, tests, students, error))
        return trouble(error);
    return statusGraded;
}

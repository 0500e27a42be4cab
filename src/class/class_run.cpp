#include "class_run.h"

#include "grade_class.h"
#include "gradebook.h"
#include "html_page.h"
#include "io/descriptor.h"
#include "io/folder.h"
#include "io/output.h"
#include "io/visible_text.h"
#include "references.h"
#include "roster.h"
#include "students.h"
#include "summary.h"
#include "summary_text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <unistd.h>

int trouble(const std::string& message)
{
    std::fprintf(stderr, "Error: %s\n", message.c_str());
    return statusTrouble;
}

namespace {

void warn(const std::string& message)
{
    std::fprintf(stderr, "Warning: %s\n", message.c_str());
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

bool loadStudents(const ClassOptions& options, std::vector<Student>& students, std::string& error)
{
    Listing listing;
    if (!listStudents(options.submissions, students, listing, error))
        return false;
    auto shown = [&](const std::string& name) { return pathInFolder(options.submissions, visibleText(name, options.utf8)); };
    for (const std::string& name : listing.ignored)
        warn(shown(name) + " is not a folder: ignored");
    for (const auto& [name, earlier] : listing.sameFolder)
        warn(shown(name) + " is the same folder as " + shown(earlier) + ": both are graded on its files");
    if (options.roster.empty())
        return true;
    std::vector<std::string> roster;
    if (!readRoster(options.roster, roster, error))
        return false;
    for (const std::string& name : applyRoster(students, std::move(roster)))
        warn(shown(name) + " is not on the roster: graded all the same");
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

// The page, written, and the summary, kept in `summaryText` (it is short:
// it names at most a hundred findings) to be told once the gradebook is
// out; `error` says what could not be written.
void explainClass(const ClassOptions& options, int page, const std::vector<Test>& tests,
                  const std::vector<Student>& students, const MarkPlaces& places, std::vector<Tally>& tallies,
                  std::string& summaryText, std::string& error)
{
    ClassSummary summary = summarizeClass(tests, students, places, tallies);
    tallies.clear();
    if (page >= 0 && !writePage(options, page, summary, tests, students, error))
        return;
    if (!options.quiet) {
        auto text = std::make_unique<Output>();
        text->kept = &summaryText;
        writeSummary(*text, summary, tests, students, options.utf8, options.htmlPage);
        flushOutput(*text);
    }
}

}  // namespace

int runClass(const ClassOptions& options)
{
    std::string error;
    std::vector<Test> tests;
    if (!loadTests(options.references, tests, error))
        return trouble(error);
    if (tests.empty())
        return trouble("the folder " + options.references + " holds no test: no regular file whose name does not "
                       "start with a dot");
    warnIncompleteReferences(options, tests);

    std::vector<Student> students;
    if (!loadStudents(options, students, error))
        return trouble(error);
    Descriptor page;
    if (!openPage(options, page, error))
        return trouble(error);
    std::vector<std::uint64_t> lineCounts;
    for (const Test& test : tests)
        lineCounts.push_back(test.lineCount);
    MarkPlaces places(lineCounts);
    std::vector<Tally> tallies;
    if (!gradeClass(options, tests, places, students, tallies, error))
        return trouble(error);

    // The gradebook and the explaining read the same results and write to
    // different places: they are written side by side.
    std::string summaryText;
    std::string explainError;
    auto explain = [&] {
        try {
            explainClass(options, page.fd, tests, students, places, tallies, summaryText, explainError);
        } catch (const std::bad_alloc&) {
            explainError = "out of memory";
        }
    };
    std::thread explaining;
    if (!options.quiet || page.fd >= 0) {
        try {
            explaining = std::thread(explain);
        } catch (const std::system_error&) {
            explain();
        }
    }
    auto gradebook = std::make_unique<Output>();
    gradebook->fd = STDOUT_FILENO;
    writeGradebook(*gradebook, tests, students, options.format, isatty(STDOUT_FILENO) != 0, options.utf8);
    bool written = flushOutput(*gradebook);
    int writeError = gradebook->error;
    if (explaining.joinable())
        explaining.join();
    if (!written)
        return trouble(std::string("could not write the gradebook to standard output: ") + std::strerror(writeError));
    if (!explainError.empty())
        return trouble(explainError);
    // What cannot be written to standard error cannot be told either.
    auto text = std::make_unique<Output>();
    text->fd = STDERR_FILENO;
    put(*text, summaryText);
    flushOutput(*text);
    return statusGraded;
}

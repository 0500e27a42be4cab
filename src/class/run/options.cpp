#include "class/run/options.h"

#include <charconv>
#include <string_view>

const char classUsage[] =
    "Usage: labelgrade-class [OPTIONS] REFERENCES SUBMISSIONS > gradebook.csv\n"
    "       labelgrade-class --student [OPTIONS] REFERENCES SUBMISSION\n"
    "Grade every student's file for every test against the test's reference.\n"
    "\n"
    "REFERENCES is a folder of reference files, one a test, named as the\n"
    "students' files are; SUBMISSIONS, a folder or an archive (zip, tar,\n"
    "tar.gz, tar.xz), holds a folder for each student, or a download from\n"
    "Canvas or Moodle as it comes.\n"
    "\n"
    "Options:\n"
    "  --reports DIR      write each student's report for each test to\n"
    "                     DIR/STUDENT/TEST.txt\n"
    "  --roster FILE      the students enrolled, one name a line\n"
    "  --format FORMAT    the gradebook's layout: csv (the default), canvas or\n"
    "                     moodle (Moodle's grading worksheet)\n"
    "  --assignment TITLE with --format canvas: one column, the total, titled\n"
    "                     TITLE (as \"Lab 3 (1234)\", to fill that assignment)\n"
    "  --layout LAYOUT    how SUBMISSIONS lays out the files: auto (the\n"
    "                     default), folders, canvas or moodle\n"
    "  --feedback FILE    write each student's feedback to the zip FILE, laid\n"
    "                     out as the course site takes it back\n"
    "  --student          grade one student's folder or archive, SUBMISSION,\n"
    "                     for an autograding platform: with --format gradescope\n"
    "                     or prairielearn, write its results file (to --output\n"
    "                     FILE, or standard output); else a line a test\n"
    "  --output FILE      with --student: where the results go\n"
    "  --visibility WHEN  with --format gradescope: each test's visibility\n"
    "  --jobs N           grade with N workers (default: one per processor)\n"
    "  --html FILE        write a page of the class's results to FILE\n"
    "  --title TEXT       the page's title (a course, an assignment)\n"
    "  --quiet            leave out the summary on standard error\n"
    "  --follow-links     follow students' folders that are links wherever they\n"
    "                     lead (else only those that stay in SUBMISSIONS)\n"
    "  --help             show this help and exit\n"
    "  --version          show the version and exit\n"
    "\n"
    "Exit status: 0 when the class was graded, 1 for a bad command line,\n"
    "2 when a folder cannot be read or an output cannot be written.\n";

namespace {

// Takes more workers than any machine it runs on has processors, but not so
// many that a typo starts a million threads.
constexpr unsigned maxJobs = 1024;

bool parseJobs(std::string_view text, unsigned& jobs)
{
    unsigned value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0 || value > maxJobs)
        return false;
    jobs = value;
    return true;
}

bool setOption(std::string_view name, std::string_view value, ClassOptions& options, std::string& problem)
{
    if (value.empty()) {
        problem = std::string(name) + " takes a value that is not empty";
        return false;
    }
    if (name == "--reports")
        options.reportsDir = value;
    else if (name == "--roster")
        options.roster = value;
    else if (name == "--html")
        options.htmlPage = value;
    else if (name == "--assignment")
        options.assignment = value;
    else if (name == "--feedback")
        options.feedback = value;
    else if (name == "--title")
        options.title = value;
    else if (name == "--format") {
        if (value == "csv")
            options.format = GradebookFormat::plain;
        else if (value == "canvas")
            options.format = GradebookFormat::canvas;
        else if (value == "moodle")
            options.format = GradebookFormat::moodle;
        else if (value == "gradescope")
            options.platform = PlatformFormat::gradescope;
        else if (value == "prairielearn")
            options.platform = PlatformFormat::prairielearn;
        else {
            problem = "--format takes csv, canvas, moodle, gradescope or prairielearn";
            return false;
        }
    } else if (name == "--output") {
        options.output = value;
    } else if (name == "--visibility") {
        if (value != "hidden" && value != "after_due_date" && value != "after_published" && value != "visible") {
            problem = "--visibility takes hidden, after_due_date, after_published or visible";
            return false;
        }
        options.visibility = value;
    } else if (name == "--layout") {
        options.layout.given = value != "auto";
        if (value == "folders")
            options.layout.layout = Layout::folders;
        else if (value == "canvas")
            options.layout.layout = Layout::canvas;
        else if (value == "moodle")
            options.layout.layout = Layout::moodle;
        else if (value != "auto") {
            problem = "--layout takes auto, folders, canvas or moodle";
            return false;
        }
    } else if (name == "--jobs") {
        if (!parseJobs(value, options.jobs)) {
            problem = "--jobs takes a number from 1 to 1024";
            return false;
        }
    }
    return true;
}

bool takesValue(std::string_view name)
{
    return name == "--reports" || name == "--roster" || name == "--html" || name == "--title" ||
           name == "--format" || name == "--jobs" || name == "--assignment" || name == "--layout" ||
           name == "--feedback" || name == "--output" || name == "--visibility";
}

}  // namespace

ParseResult parseOptions(int argc, char** argv, ClassOptions& options, std::string& problem)
{
    std::string_view operands[2];
    int operandCount = 0;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        bool isOption = !optionsEnded && argument.size() > 1 && argument[0] == '-';
        if (!isOption) {
            if (operandCount == 2) {
                problem = "one folder of references and one of submissions, no more";
                return ParseResult::usageError;
            }
            operands[operandCount++] = argument;
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "--help")
            return ParseResult::help;
        if (argument == "--version")
            return ParseResult::version;
        if (argument == "--quiet") {
            options.quiet = true;
            continue;
        }
        if (argument == "--follow-links") {
            options.followLinks = true;
            continue;
        }
        if (argument == "--student") {
            options.student = true;
            continue;
        }
        std::string_view name = argument.substr(0, argument.find('='));
        if (!takesValue(name)) {
            problem = "unknown option " + std::string(argument);
            return ParseResult::usageError;
        }
        std::string_view value;
        if (name.size() < argument.size()) {
            value = argument.substr(name.size() + 1);
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            problem = std::string(name) + " needs a value";
            return ParseResult::usageError;
        }
        if (!setOption(name, value, options, problem))
            return ParseResult::usageError;
    }
    if (operandCount < 2) {
        problem = "a folder of references and a folder of submissions are needed";
        return ParseResult::usageError;
    }
    options.references = operands[0];
    options.submissions = operands[1];
    if (!options.assignment.empty() && options.format != GradebookFormat::canvas) {
        problem = "--assignment titles a column of Canvas's gradebook: it needs --format canvas";
        return ParseResult::usageError;
    }
    bool platform = options.platform != PlatformFormat::text;
    bool classOnly = options.format == GradebookFormat::canvas || options.format == GradebookFormat::moodle ||
                     !options.reportsDir.empty() || !options.roster.empty() || !options.htmlPage.empty() ||
                     !options.feedback.empty();
    if (options.student ? classOnly : platform || !options.output.empty()) {
        problem = options.student ? "--student grades one student: it writes no gradebook, report folder, page or feedback"
                                  : "--format gradescope, --format prairielearn and --output go with --student";
        return ParseResult::usageError;
    }
    return ParseResult::run;
}

#include "options.h"

#include <charconv>
#include <string_view>

const char classUsage[] =
    "Usage: labelgrade-class [OPTIONS] REFERENCES SUBMISSIONS > gradebook.csv\n"
    "Grade every student's file for every test against the test's reference.\n"
    "\n"
    "REFERENCES is a folder of reference files, one a test, named as the\n"
    "students' files are; SUBMISSIONS holds a folder for each student.\n"
    "\n"
    "Options:\n"
    "  --reports DIR      write each student's report for each test to\n"
    "                     DIR/STUDENT/TEST.txt\n"
    "  --roster FILE      the students enrolled, one name a line\n"
    "  --format FORMAT    the gradebook's layout: csv (the default) or canvas\n"
    "  --jobs N           grade with N workers (default: one per processor)\n"
    "  --html FILE        write a page of the class's results to FILE\n"
    "  --title TEXT       the page's title (a course, an assignment)\n"
    "  --quiet            leave out the summary on standard error\n"
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
    else if (name == "--title")
        options.title = value;
    else if (name == "--format") {
        if (value == "csv")
            options.format = GradebookFormat::plain;
        else if (value == "canvas")
            options.format = GradebookFormat::canvas;
        else {
            problem = "--format takes csv or canvas";
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
           name == "--format" || name == "--jobs";
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
    return ParseResult::run;
}

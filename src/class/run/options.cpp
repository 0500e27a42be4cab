#include "class/run/options.h"

#include "class/sites/site.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>
#include <vector>

namespace {

// The usage's text is wrapped at this width, as a terminal of 80 shows it
// with room to spare.
constexpr std::size_t usageWidth = 74;
// An option's description starts at this column.
constexpr std::size_t optionColumn = 21;

std::string orList(const std::vector<std::string_view>& names)
{
    return listed(names, " or ");
}

// `text` wrapped at the usage's width, its first line after `lead`, the
// others indented as far as `lead` is long.
std::string wrapped(std::string_view lead, std::string_view text)
{
    std::string result(lead);
    std::size_t lineStart = 0;
    bool lineEmpty = true;
    while (!text.empty()) {
        std::size_t space = text.find(' ');
        std::string_view word = text.substr(0, space);
        text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
        if (!lineEmpty && result.size() - lineStart + 1 + word.size() > usageWidth) {
            result += '\n';
            lineStart = result.size();
            result.append(lead.size(), ' ');
            lineEmpty = true;
        }
        if (!lineEmpty)
            result += ' ';
        result += word;
        lineEmpty = false;
    }
    return result + "\n";
}

std::string optionHelp(std::string_view option, std::string_view text)
{
    std::string lead = "  " + std::string(option);
    lead.resize(optionColumn, ' ');
    return wrapped(lead, text);
}

// Where the platforms' results go with --student, by --format's name.
struct PlatformName {
    std::string_view name;
    PlatformFormat format;
};
constexpr std::array<PlatformName, 2> platformNames{{{"gradescope", PlatformFormat::gradescope},
                                                     {"prairielearn", PlatformFormat::prairielearn}}};

// Every name --format takes: the sites' gradebooks, then the platforms'.
std::vector<std::string_view> formatNames()
{
    std::vector<std::string_view> names;
    for (const CourseSite* site : courseSites())
        names.push_back(site->gradebook.format);
    for (const PlatformName& platform : platformNames)
        names.push_back(platform.name);
    return names;
}

// The site's own gradebooks --into fills in.
std::vector<std::string_view> exportNames()
{
    std::vector<std::string_view> names;
    for (const CourseSite* site : courseSites())
        if (site->gradebook.fill != nullptr)
            names.push_back(site->shownName);
    return names;
}

std::vector<std::string_view> layoutNames()
{
    std::vector<std::string_view> names{"auto"};
    for (const CourseSite* site : courseSites())
        names.push_back(site->names.name);
    return names;
}

bool setFormat(std::string_view value, ClassOptions& options, std::string& problem)
{
    if (const CourseSite* site = siteWithGradebook(value)) {
        options.gradebook = site;
        options.formatGiven = true;
        return true;
    }
    for (const PlatformName& platform : platformNames)
        if (platform.name == value) {
            options.platform = platform.format;
            return true;
        }
    problem = "--format takes " + orList(formatNames());
    return false;
}

bool setLayout(std::string_view value, ClassOptions& options, std::string& problem)
{
    options.layout.given = value != "auto";
    if (!options.layout.given)
        return true;
    const std::vector<const SiteNames*>& sites = options.layout.sites;
    for (std::size_t s = 0; s < sites.size(); ++s)
        if (sites[s]->name == value) {
            options.layout.site = s;
            return true;
        }
    problem = "--layout takes " + orList(layoutNames());
    return false;
}

// --assignment titles a column only some sites' gradebooks have.
std::vector<std::string_view> assignmentFormats()
{
    std::vector<std::string_view> formats;
    for (const CourseSite* site : courseSites())
        if (!site->gradebook.assignmentColumnIn.empty())
            formats.push_back(site->gradebook.format);
    return formats;
}

std::string assignmentProblem()
{
    std::vector<std::string_view> columns;
    for (const CourseSite* site : courseSites())
        if (!site->gradebook.assignmentColumnIn.empty())
            columns.push_back(site->gradebook.assignmentColumnIn);
    return "--assignment titles a column of " + orList(columns) + ": it needs --format " +
           orList(assignmentFormats());
}

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
    else if (name == "--json" && value == "-") {
        problem = "--json takes a file, not -: standard output carries the gradebook";
        return false;
    } else if (name == "--json")
        options.json = value;
    else if (name == "--assignment")
        options.assignment = value;
    else if (name == "--feedback")
        options.feedback = value;
    else if (name == "--into")
        options.into = value;
    else if (name == "--title")
        options.title = value;
    else if (name == "--sources")
        options.sources = value;
    else if (name == "--format")
        return setFormat(value, options, problem);
    else if (name == "--output") {
        options.output = value;
    } else if (name == "--visibility") {
        if (value != "hidden" && value != "after_due_date" && value != "after_published" && value != "visible") {
            problem = "--visibility takes hidden, after_due_date, after_published or visible";
            return false;
        }
        options.visibility = value;
    } else if (name == "--layout") {
        return setLayout(value, options, problem);
    } else if (name == "--jobs") {
        if (!parseJobs(value, options.jobs)) {
            problem = "--jobs takes a number from 1 to 1024";
            return false;
        }
    }
    return true;
}

// The options the usage lists, each once: the names a mistyped one is
// compared with.
std::vector<std::string> knownOptions()
{
    std::vector<std::string> names;
    std::string usage = classUsage();
    for (std::size_t at = usage.find("--"); at != std::string::npos; at = usage.find("--", at + 2)) {
        std::size_t end = usage.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", at + 2);
        std::string name = usage.substr(at, end - at);
        if (name.size() > 2 && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    return names;
}

// The number of letters to add, drop, change or swap with their neighbour
// to make `a` into `b`: "--rooster" is one from "--roster".
std::size_t editDistance(std::string_view a, std::string_view b)
{
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j) {
            std::size_t changed = d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, changed});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// A typo is a slip or two, a third of the name at most: farther off, a
// suggestion would be a guess.
constexpr std::size_t mostSlips = 2;

std::string unknownOption(std::string_view argument)
{
    std::string problem = "unknown option " + std::string(argument);
    std::string_view name = argument.substr(0, argument.find('='));
    // Over-long words are no one's typo, and would cost a table their size squared.
    constexpr std::size_t longestCompared = 64;
    if (name.size() > longestCompared)
        return problem;
    std::string nearest;
    std::size_t best = std::min(mostSlips, name.size() / 3) + 1;
    for (const std::string& known : knownOptions())
        if (std::size_t distance = editDistance(name, known); distance < best) {
            best = distance;
            nearest = known;
        }
    return nearest.empty() || nearest == name ? problem : problem + ": did you mean " + nearest + "?";
}

bool takesValue(std::string_view name)
{
    return name == "--reports" || name == "--roster" || name == "--html" || name == "--title" ||
           name == "--format" || name == "--jobs" || name == "--assignment" || name == "--layout" ||
           name == "--feedback" || name == "--output" || name == "--visibility" || name == "--into" ||
           name == "--json" || name == "--sources";
}

// Whether the gradebook asked for takes --assignment and --scale as given.
// With --into, the file tells the site, and the site's filler its columns.
bool gradebookTakes(const ClassOptions& options, std::string& problem)
{
    if (options.scale && options.into.empty()) {
        problem = "--scale goes with --into: a gradebook of the run's making is out of the tests' total";
        return false;
    }
    const SiteGradebook& gradebook = options.gradebook->gradebook;
    if (options.into.empty() && !gradebook.exportNeeded.empty()) {
        problem = "--format " + std::string(gradebook.format) + " needs --into FILE, " +
                  std::string(gradebook.exportName) + ": " + std::string(gradebook.exportNeeded);
        return false;
    }
    if (!options.into.empty() || options.assignment.empty())
        return true;
    if (gradebook.assignmentColumnIn.empty()) {
        problem = assignmentProblem();
        return false;
    }
    return gradebook.assignmentTitled == nullptr || gradebook.assignmentTitled(options.assignment, problem);
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
        if (argument == "--scale") {
            options.scale = true;
            continue;
        }
        std::string_view name = argument.substr(0, argument.find('='));
        if (!takesValue(name)) {
            problem = unknownOption(argument);
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
    if (!gradebookTakes(options, problem))
        return ParseResult::usageError;
    bool platform = options.platform != PlatformFormat::text;
    bool classOnly = options.gradebook != courseSites().front() ||
                     !options.reportsDir.empty() || !options.roster.empty() || !options.htmlPage.empty() ||
                     !options.feedback.empty() || !options.into.empty() || !options.json.empty();
    if (options.student ? classOnly : platform || !options.output.empty()) {
        problem = options.student ? "--student grades one student: it writes no gradebook, report folder, page, JSON or feedback"
                                  : "--format gradescope, --format prairielearn and --output go with --student";
        return ParseResult::usageError;
    }
    return ParseResult::run;
}

std::string usageProblem(const std::string& problem)
{
    return "labelgrade-class: " + problem + "\nTry 'labelgrade-class --help' for more.\n";
}

std::string classUsage()
{
    std::vector<std::string_view> downloads;
    std::vector<std::string> gradebooks;
    for (const CourseSite* site : courseSites()) {
        if (!site->shownName.empty())
            downloads.push_back(site->shownName);
        const SiteGradebook& gradebook = site->gradebook;
        std::string& entry = gradebooks.emplace_back(gradebook.format);
        if (!gradebook.gloss.empty())
            entry.append(" ").append(gradebook.gloss);
    }
    std::vector<std::string_view> layouts = layoutNames();
    layouts.front() = "auto (the default)";
    std::vector<std::string_view> gradebookList(gradebooks.begin(), gradebooks.end());
    return "Usage: labelgrade-class [OPTIONS] REFERENCES SUBMISSIONS > gradebook.csv\n"
           "       labelgrade-class --student [OPTIONS] REFERENCES SUBMISSION\n"
           "Grade every student's file for every test against the test's reference.\n"
           "\n" +
           wrapped("", "REFERENCES is a folder of reference files, one a test, named as the students' files are; "
                       "SUBMISSIONS, a folder or an archive (zip, tar, tar.gz, tar.xz), holds a folder for each "
                       "student, or a download from " + orList(downloads) + " as it comes.") +
           "\n"
           "Options:\n"
           "  --reports DIR      write each student's report for each test to\n"
           "                     DIR/STUDENT/TEST.txt\n"
           "  --roster FILE      the students enrolled, one a line: name, id or email\n" +
           optionHelp("--format FORMAT", "the gradebook's layout: " + orList(gradebookList)) +
           optionHelp("--assignment TITLE", "with --format " + orList(assignmentFormats()) +
                                                ": one column, the total, for the assignment TITLE names (as "
                                                "\"Lab 3 (1234)\", or a grade item's \"Lab 3\")") +
           optionHelp("--into FILE", "fill in FILE, the gradebook " + orList(exportNames()) +
                                         " gives, and write it: the grades (and feedback comments, where it has "
                                         "them) changed, every other byte as it was") +
           "  --scale            with --into: write each total scaled to the site's\n"
           "                     maximum where that is not the tests' total\n" +
           optionHelp("--layout LAYOUT", "how SUBMISSIONS lays out the files: " + orList(layouts)) +
           "  --feedback FILE    write each student's feedback to the zip FILE, laid\n"
           "                     out as the course site takes it back\n"
           "  --student          grade one student's folder or archive, SUBMISSION,\n"
           "                     for an autograding platform: with --format gradescope\n"
           "                     or prairielearn, write its results file (to --output\n"
           "                     FILE, or standard output); else a line a test\n"
           "  --output FILE      with --student: where the results go\n"
           "  --visibility WHEN  with --format gradescope: each test's visibility\n"
           "  --jobs N           grade with N workers (default: one per processor)\n"
           "  --sources DIR      the tests' programs (t1.asm for t1.sym): address\n"
           "                     errors explained by the statements behind them\n"
           "  --html FILE        write a page of the class's results to FILE\n"
           "  --title TEXT       the page's title (a course, an assignment)\n"
           "  --json FILE        write the whole run as JSON to FILE: each student's\n"
           "                     scores and causes as data, the pairs, the summary\n"
           "  --quiet            leave out the summary on standard error\n"
           "  --follow-links     follow students' folders that are links wherever they\n"
           "                     lead (else only those that stay in SUBMISSIONS)\n"
           "  --help             show this help and exit\n"
           "  --version          show the version and exit\n"
           "\n"
           "Exit status: 0 when the class was graded, 1 for a bad command line,\n"
           "2 when a folder cannot be read or an output cannot be written.\n";
}

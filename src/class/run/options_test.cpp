// The class command's line: the names --format and --layout take come from
// the sites' table, and the options that go only together.
#include "class/run/options.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

struct Parsed {
    ParseResult result;
    ClassOptions options;
    std::string problem;
};

Parsed parse(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "labelgrade-class");
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    Parsed parsed{ParseResult::run, {}, {}};
    parsed.result = parseOptions(static_cast<int>(argv.size()), argv.data(), parsed.options, parsed.problem);
    return parsed;
}

}  // namespace

TEST(ClassOptions, EverySitesNamesAreTakenByLayoutAndFormat)
{
    for (const CourseSite* site : courseSites()) {
        SCOPED_TRACE(site->names.name);
        Parsed layout = parse({"--layout", std::string(site->names.name), "refs", "subs"});
        ASSERT_EQ(layout.result, ParseResult::run);
        EXPECT_TRUE(layout.options.layout.given);
        EXPECT_EQ(layout.options.layout.sites[layout.options.layout.site], &site->names);
        // A gradebook the run only fills is refused without the export.
        std::string asked = "--format=" + std::string(site->gradebook.format);
        bool filledOnly = !site->gradebook.exportNeeded.empty();
        EXPECT_EQ(parse({asked, "refs", "subs"}).result, filledOnly ? ParseResult::usageError : ParseResult::run);
        Parsed format = parse({asked, "--into", "export.csv", "refs", "subs"});
        ASSERT_EQ(format.result, ParseResult::run);
        EXPECT_EQ(format.options.gradebook, site);
    }
    Parsed automatic = parse({"--layout", "canvas", "--layout", "auto", "refs", "subs"});
    EXPECT_FALSE(automatic.options.layout.given);
    EXPECT_EQ(parse({"refs", "subs"}).options.gradebook, courseSites().front());
}

TEST(ClassOptions, UnknownNamesAreRefusedWithEveryNameTaken)
{
    Parsed layout = parse({"--layout", "sakai", "refs", "subs"});
    EXPECT_EQ(layout.result, ParseResult::usageError);
    EXPECT_EQ(layout.problem, "--layout takes auto, folders, canvas, moodle, blackboard or brightspace");
    Parsed format = parse({"--format", "Canvas", "refs", "subs"});
    EXPECT_EQ(format.result, ParseResult::usageError);
    EXPECT_EQ(format.problem,
              "--format takes csv, canvas, moodle, blackboard, brightspace, gradescope or prairielearn");
    EXPECT_EQ(parse({"--format", "", "refs", "subs"}).problem, "--format takes a value that is not empty");
    EXPECT_EQ(parse({"refs", "subs", "--layout"}).problem, "--layout needs a value");
}

TEST(ClassOptions, AssignmentNeedsTheGradebookWithItsColumn)
{
    Parsed alone = parse({"--assignment", "Lab 3 (1234)", "refs", "subs"});
    EXPECT_EQ(alone.result, ParseResult::usageError);
    EXPECT_EQ(alone.problem, "--assignment titles a column of Canvas's gradebook, Blackboard's Grade Center or "
                             "Brightspace's grades export: it needs --format canvas, blackboard or brightspace");
    EXPECT_EQ(parse({"--assignment", "Lab 3", "--format", "moodle", "refs", "subs"}).result,
              ParseResult::usageError);
    Parsed canvas = parse({"--assignment", "Lab 3 (1234)", "--format", "canvas", "refs", "subs"});
    EXPECT_EQ(canvas.result, ParseResult::run);
    EXPECT_EQ(canvas.options.assignment, "Lab 3 (1234)");
}

// Canvas's import takes a column for an existing assignment only as
// /\A(.*)\s\((\d+)\)\z/; any other title makes a new assignment.
TEST(ClassOptions, CanvasAssignmentIsTitledAsItsImportMatchesIt)
{
    for (const char* title : {"Lab 3", "Lab3(1234)", "Lab 3 (12a)", "Lab 3 (1234) ", "Lab 3 ()", "Lab\n3 (1234)"})
        EXPECT_EQ(parse({"--assignment", title, "--format", "canvas", "refs", "subs"}).result, ParseResult::usageError)
            << title;
    for (const char* title : {"Lab 3 (1234)", "(1234)\t(5)", " (7)", "Lab 3\t(1234)"})
        EXPECT_EQ(parse({"--assignment", title, "--format", "canvas", "refs", "subs"}).result, ParseResult::run)
            << title;
}

// With --into the file says the site and its columns: the run, not the
// command line, checks the title then.
TEST(ClassOptions, IntoTakesAnyAssignmentAndScaleNeedsIt)
{
    Parsed into = parse({"--into", "export.csv", "--assignment", "1234", "--scale", "refs", "subs"});
    ASSERT_EQ(into.result, ParseResult::run);
    EXPECT_EQ(into.options.into, "export.csv");
    EXPECT_TRUE(into.options.scale);
    EXPECT_FALSE(into.options.formatGiven);
    EXPECT_TRUE(parse({"--format", "moodle", "refs", "subs"}).options.formatGiven);
    EXPECT_EQ(parse({"--scale", "refs", "subs"}).result, ParseResult::usageError);
    EXPECT_EQ(parse({"--student", "--into", "export.csv", "refs", "sub"}).result, ParseResult::usageError);
}

TEST(ClassOptions, StudentGoesWithThePlatformsAndNoClassOutput)
{
    constexpr std::string_view studentOnly = "--student grades one student: it writes no gradebook, report folder, "
                                             "page, JSON or feedback";
    for (const char* format : {"canvas", "moodle"})
        EXPECT_EQ(parse({"--student", "--format", format, "refs", "sub"}).problem, studentOnly) << format;
    EXPECT_EQ(parse({"--student", "--feedback", "f.zip", "refs", "sub"}).problem, studentOnly);
    EXPECT_EQ(parse({"--student", "--json", "run.json", "refs", "sub"}).problem, studentOnly);
    EXPECT_EQ(parse({"--student", "--format", "csv", "refs", "sub"}).result, ParseResult::run);
    Parsed gradescope = parse({"--student", "--format", "gradescope", "--output", "r.json", "refs", "sub"});
    ASSERT_EQ(gradescope.result, ParseResult::run);
    EXPECT_EQ(gradescope.options.platform, PlatformFormat::gradescope);
    EXPECT_EQ(parse({"--format", "prairielearn", "refs", "subs"}).problem,
              "--format gradescope, --format prairielearn and --output go with --student");
    EXPECT_EQ(parse({"--output", "r.json", "refs", "subs"}).result, ParseResult::usageError);
}

TEST(ClassOptions, JsonTakesAFileNotTheGradebooksStandardOutput)
{
    EXPECT_EQ(parse({"--json=run.json", "refs", "subs"}).options.json, "run.json");
    for (const char* dash : {"--json=-", "--json"}) {
        std::vector<std::string> args{dash};
        if (std::string_view(dash) == "--json")
            args.push_back("-");
        args.insert(args.end(), {"refs", "subs"});
        EXPECT_EQ(parse(args).problem, "--json takes a file, not -: standard output carries the gradebook") << dash;
    }
}

TEST(ClassOptions, AMistypedOptionNamesTheNearest)
{
    EXPECT_EQ(parse({"--rooster", "r.txt", "refs", "subs"}).problem,
              "unknown option --rooster: did you mean --roster?");
    EXPECT_EQ(parse({"--jbos=4", "refs", "subs"}).problem, "unknown option --jbos=4: did you mean --jobs?");
    EXPECT_EQ(parse({"--Quiet", "refs", "subs"}).problem, "unknown option --Quiet: did you mean --quiet?");
    EXPECT_EQ(parse({"--studnet", "refs", "subs"}).problem, "unknown option --studnet: did you mean --student?");
    // Too far from any, or too short to tell: no guess.
    EXPECT_EQ(parse({"--colour", "refs", "subs"}).problem, "unknown option --colour");
    EXPECT_EQ(parse({"-q", "refs", "subs"}).problem, "unknown option -q");
    EXPECT_EQ(parse({std::string(100'000, 'x').insert(0, "--"), "refs", "subs"}).result, ParseResult::usageError);
    EXPECT_EQ(usageProblem("unknown option -q"),
              "labelgrade-class: unknown option -q\nTry 'labelgrade-class --help' for more.\n");
}

TEST(ClassUsage, ListsEverySiteWithinTheWidth)
{
    std::string usage = classUsage();
    for (const CourseSite* site : courseSites()) {
        EXPECT_NE(usage.find(site->names.name), std::string::npos) << site->names.name;
        EXPECT_NE(usage.find(site->gradebook.format), std::string::npos) << site->gradebook.format;
    }
    EXPECT_NE(usage.find("a download from\nCanvas, Moodle, Blackboard or Brightspace as it comes.\n"),
              std::string::npos);
    EXPECT_NE(usage.find("  --layout LAYOUT    how SUBMISSIONS lays out the files: auto (the\n"
                         "                     default), folders, canvas, moodle, blackboard or\n"
                         "                     brightspace\n"),
              std::string::npos);
    std::istringstream lines(usage);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(line.size(), 80u) << line;
}

// labelgrade-class's command line.
#ifndef LABELGRADE_CLASS_OPTIONS_H
#define LABELGRADE_CLASS_OPTIONS_H

#include <string>

#include "class/intake/students.h"
#include "class/outputs/platform_results.h"
#include "class/sites/site.h"

struct ClassOptions {
    std::string references;
    std::string submissions;
    std::string reportsDir;  // empty: no reports
    std::string roster;      // empty: no roster
    std::string htmlPage;    // empty: no page
    std::string feedback;    // empty: no feedback zip
    std::string json;        // empty: no JSON of the run
    std::string assignment;  // with a gradebook that has the column: the total, titled so
    std::string into;        // a course site's own gradebook export, filled in; empty: a gradebook of the run's making
    bool scale = false;      // with --into: totals scaled to the site's maximum where it is not the tests' total
    std::string title;       // the page's; empty: a plain one
    std::string sources;     // the tests' programs; empty: none
    const CourseSite* gradebook = courseSites().front();  // whose gradebook --format chose: the plain one
    bool formatGiven = false;  // --format named a gradebook, which --into's file must then be
    PlatformFormat platform = PlatformFormat::text;  // --student's
    unsigned jobs = 0;       // 0: one per processor
    bool quiet = false;
    bool followLinks = false;  // students' folders that are links, followed wherever they lead
    LayoutChoice layout{siteNames()};  // the sites, and the one SUBMISSIONS is laid out as, if given
    // One student graded, for an autograding platform: SUBMISSIONS is then
    // that student's folder or archive.
    bool student = false;
    std::string output;                   // empty: standard output
    std::string visibility = "visible";   // Gradescope's, for every test
    // Not options: whether a terminal here reads UTF-8, which decides how
    // students' names and lines are escaped in messages; and whether the
    // run was started with standard output closed, so that the gradebook
    // reaches no one.
    bool utf8 = true;
    bool outputClosed = false;
    // Nor this: the run's date, as the page shows it.
    std::string date;
};

enum class ParseResult { run, help, version, usageError };

// Reads the arguments into `options`; on a usage error, `problem` says what
// was wrong.
ParseResult parseOptions(int argc, char** argv, ClassOptions& options, std::string& problem);

// What a bad command line is told: the problem, and where the usage is.
std::string usageProblem(const std::string& problem);

// The usage, its lists of names the sites'.
std::string classUsage();

#endif

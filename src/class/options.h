// labelgrade-class's command line.
#ifndef LABELGRADE_CLASS_OPTIONS_H
#define LABELGRADE_CLASS_OPTIONS_H

#include <string>

enum class GradebookFormat { plain, canvas };

struct ClassOptions {
    std::string references;
    std::string submissions;
    std::string reportsDir;  // empty: no reports
    std::string roster;      // empty: no roster
    std::string htmlPage;    // empty: no page
    std::string title;       // the page's; empty: a plain one
    GradebookFormat format = GradebookFormat::plain;
    unsigned jobs = 0;       // 0: one per processor
    bool quiet = false;
    // Not an option: whether a terminal here reads UTF-8, which decides how
    // students' names and lines are escaped in messages.
    bool utf8 = true;
    // Nor this: the run's date, as the page shows it.
    std::string date;
};

enum class ParseResult { run, help, version, usageError };

// Reads the arguments into `options`; on a usage error, `problem` says what
// was wrong.
ParseResult parseOptions(int argc, char** argv, ClassOptions& options, std::string& problem);

extern const char classUsage[];

#endif

// labelgrade-class: grade every student of a class on every test in one
// run, and write the gradebook.
#include "class/class_run.h"
#include "class/html_page.h"
#include "class/options.h"
#include "io/visible_text.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

int main(int argc, char** argv)
{
    // No signal ends a run: a gradebook cut by a closed pipe or a file-size
    // limit is a failed write, told as one.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        ClassOptions options;
        std::string problem;
        switch (parseOptions(argc, argv, options, problem)) {
        case ParseResult::help:
            std::fputs(classUsage, stdout);
            return std::fflush(stdout) == 0 && !std::ferror(stdout) ? statusGraded : statusTrouble;
        case ParseResult::version:
            std::fputs("labelgrade-class " LABELGRADE_VERSION "\n", stdout);
            return std::fflush(stdout) == 0 && !std::ferror(stdout) ? statusGraded : statusTrouble;
        case ParseResult::usageError:
            std::fprintf(stderr, "labelgrade-class: %s\n%s", problem.c_str(), classUsage);
            return statusUsage;
        case ParseResult::run:
            break;
        }
        options.utf8 = terminalReadsUtf8();
        options.date = runDate(std::getenv("SOURCE_DATE_EPOCH"));
        return runClass(options);
    } catch (const std::bad_alloc&) {
        return trouble("out of memory");
    }
}

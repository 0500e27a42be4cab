// labelgrade-class: grade every student of a class on every test in one
// run, and write the gradebook.
#include "class/run/class_run.h"
#include "class/outputs/html_page.h"
#include "class/run/options.h"
#include "class/run/student_run.h"
#include "class/run/threads.h"
#include "io/standard_streams.h"
#include "io/visible_text.h"

#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <malloc.h>
#include <string>

namespace {

constexpr int trimThreshold = 4 << 20;

int runCommand(int argc, char** argv, const StandardStreams& streams)
{
    ClassOptions options;
    std::string problem;
    switch (parseOptions(argc, argv, options, problem)) {
    case ParseResult::help:
        std::fputs(classUsage().c_str(), stdout);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? statusGraded : statusTrouble;
    case ParseResult::version:
        std::fputs("labelgrade-class " LABELGRADE_VERSION "\n", stdout);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? statusGraded : statusTrouble;
    case ParseResult::usageError:
        std::fputs(usageProblem(problem).c_str(), stderr);
        return statusUsage;
    case ParseResult::run:
        break;
    }
    options.utf8 = terminalReadsUtf8();
    options.outputClosed = streams.outputClosed;
    options.date = runDate(std::getenv("SOURCE_DATE_EPOCH"));
    return options.student ? runStudent(options) : runClass(options);
}

}  // namespace

int main(int argc, char** argv)
{
    StandardStreams streams = guardStandardStreams();
    if (!streams.ready)
        return statusTrouble;
    // Each file of a feedback zip deflates in memory of its own: without a
    // threshold, the C library gives that memory back and asks for it again
    // for every file, four system calls a file.
    mallopt(M_TRIM_THRESHOLD, trimThreshold);
    // An archive's every entry has a time, which the C library reads as
    // local time, and without TZ it looks at /etc/localtime again each time:
    // named once, it is read once.  The zone is the same.
    setenv("TZ", ":/etc/localtime", 0);
    // No signal ends a run: a gradebook cut by a closed pipe or a file-size
    // limit is a failed write, told as one.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    // Whatever the run throws (memory that runs out, above all) ends it
    // telling why, as a failure on any of its threads does.
    StopSignal failed;
    int status = statusTrouble;
    runStopping(failed, [&] { status = runCommand(argc, argv, streams); });
    return failed.stopped ? trouble(failed.reason()) : status;
}

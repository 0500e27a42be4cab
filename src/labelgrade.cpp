// labelgrade: grade a student's symbol table against the reference one.
#include "grading/test_number.h"
#include "io/descriptor.h"
#include "io/standard_streams.h"
#include "io/visible_text.h"
#include "report/compare.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char usage[] =
    "Invocation:  labelgrade <test #> <student symtab file> <reference symtab file>\n";

constexpr int statusCompared = 0;
constexpr int statusUsage = 1;
constexpr int statusFileTrouble = 2;

// A directory opens for reading but has no lines to give; it is refused
// here, like a missing file, rather than failing later as a read error.
int openListingFile(const char* path)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (fd >= 0 && fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

int fileTrouble(const char* format, const char* path)
{
    std::fprintf(stderr, format, path);
    return statusFileTrouble;
}

}  // namespace

int main(int argc, char** argv)
{
    StandardStreams streams = guardStandardStreams();
    if (!streams.ready)
        return statusFileTrouble;
    if (argc <= 3) {
        std::fputs(usage, stderr);
        return statusUsage;
    }
    // A report cut by a file-size limit is a failed write, told as one,
    // not a run killed by SIGXFSZ.  SIGPIPE keeps its default: a reader
    // that goes away ends the run quietly, as it ends cat.
    std::signal(SIGXFSZ, SIG_IGN);

    std::int32_t testNumber = readTestNumber(argv[1]);
    const char* studentPath = argv[2];
    const char* referencePath = argv[3];

    Descriptor student(openListingFile(studentPath));
    if (student.fd < 0)
        return fileTrouble("Error: could not open %s\n", studentPath);
    Descriptor reference(openListingFile(referencePath));
    if (reference.fd < 0)
        return fileTrouble("Error: could not open %s\n", referencePath);

    Output report;
    report.fd = STDOUT_FILENO;
    // A student's bytes must not steer the terminal that shows them.
    report.showControls = isatty(STDOUT_FILENO) != 0;
    report.utf8 = report.showControls && terminalReadsUtf8();
    // A closed standard output takes no report: told as a failed write.
    if (streams.outputClosed) {
        report.failed = true;
        report.error = EBADF;
    }
    ReadBuffer studentBuffer;
    ReadBuffer referenceBuffer;
    FileLines studentLines = linesOfFile(student.fd, studentBuffer);
    FileLines referenceLines = linesOfFile(reference.fd, referenceBuffer);
    Outcome outcome = compareFiles(ReportHeading{testNumber, studentPath, referencePath}, studentLines,
                                   referenceLines, report).outcome;
    if (outcome != Outcome::compared) {
        // What was written before the trouble stays; nothing follows it.
        flushOutput(report);
        if (outcome == Outcome::outOfMemory) {
            std::fputs("Error: out of memory\n", stderr);
            return statusFileTrouble;
        }
        return fileTrouble("Error: could not read %s\n",
                           outcome == Outcome::studentUnreadable ? studentPath : referencePath);
    }
    if (!flushOutput(report)) {
        std::fputs("Error: could not write to standard output\n", stderr);
        return statusFileTrouble;
    }
    return statusCompared;
}

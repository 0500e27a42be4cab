// labelgrade: grade a student's symbol table against the reference one.
#include "compare.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char usage[] =
    "Invocation:  labelgrade <test #> <student symtab file> <reference symtab file>\n";

constexpr int statusCompared = 0;
constexpr int statusUsage = 1;
constexpr int statusFileTrouble = 2;

struct CloseFile {
    void operator()(std::FILE* stream) const { std::fclose(stream); }
};

using Stream = std::unique_ptr<std::FILE, CloseFile>;

// A directory opens for reading but has no lines to give; it is refused
// here, like a missing file, rather than failing later as a read error.
Stream openListingFile(const char* path)
{
    Stream stream(std::fopen(path, "r"));
    struct stat info;
    if (stream && fstat(fileno(stream.get()), &info) == 0 && S_ISDIR(info.st_mode))
        stream.reset();
    return stream;
}

int fileTrouble(const char* format, const char* path)
{
    std::fprintf(stderr, format, path);
    return statusFileTrouble;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc <= 3) {
        std::fputs(usage, stderr);
        return statusUsage;
    }
    std::int32_t testNumber = readTestNumber(argv[1]);
    const char* studentPath = argv[2];
    const char* referencePath = argv[3];

    Stream student = openListingFile(studentPath);
    if (!student)
        return fileTrouble("Error: could not open %s\n", studentPath);
    Stream reference = openListingFile(referencePath);
    if (!reference)
        return fileTrouble("Error: could not open %s\n", referencePath);

    Report report;
    report.fd = STDOUT_FILENO;
    put(report, "Comparing ");
    put(report, studentPath);
    put(report, " to ");
    put(report, referencePath);
    put(report, ":\n\n");

    Outcome outcome = compareFiles(testNumber, studentPath, student.get(), reference.get(), report);
    if (outcome != Outcome::compared) {
        // What was written before the trouble stays; nothing follows it.
        flushReport(report);
        if (outcome == Outcome::outOfMemory) {
            std::fputs("Error: out of memory\n", stderr);
            return statusFileTrouble;
        }
        return fileTrouble("Error: could not read %s\n",
                           outcome == Outcome::studentUnreadable ? studentPath : referencePath);
    }
    if (!flushReport(report)) {
        std::fputs("Error: could not write to standard output\n", stderr);
        return statusFileTrouble;
    }
    return statusCompared;
}

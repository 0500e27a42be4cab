#include "compare.h"

#include "grading/score.h"

#include <algorithm>

namespace {

Outcome failedRead(ReadStatus status, Outcome unreadable)
{
    return status == ReadStatus::outOfMemory ? Outcome::outOfMemory : unreadable;
}

bool exhausted(const FileLines& file)
{
    return file.lines.final && file.lines.rest.empty();
}

// Whether the next position needs more of this file: it holds no whole line.
bool needsMore(const FileLines& file)
{
    if (file.lines.final)
        return false;
    std::string_view rest = file.lines.rest;
    return rest.find('\n') == std::string_view::npos;
}

// Reads more of a file, telling the watcher of the student's new bytes.
ReadStatus readMoreOf(FileLines& file, GradingWatcher* watcher)
{
    std::size_t kept = file.lines.rest.size();
    ReadStatus status = readMore(file);
    if (status == ReadStatus::read && watcher != nullptr)
        watcher->studentBytes(file.lines.rest.substr(kept));
    return status;
}

// The lines from what is left to the end of the file, read and dropped.
ReadStatus countRestLines(FileLines& file, std::uint64_t& count, GradingWatcher* watcher)
{
    count = 0;
    char last = '\n';
    for (;;) {
        std::string_view rest = file.lines.rest;
        count += static_cast<std::uint64_t>(std::count(rest.begin(), rest.end(), '\n'));
        if (!rest.empty())
            last = rest.back();
        file.lines.rest = rest.substr(rest.size());
        if (file.lines.final)
            break;
        ReadStatus status = readMoreOf(file, watcher);
        if (status != ReadStatus::read)
            return status;
    }
    // A last line without a newline is still a line.
    if (last != '\n')
        ++count;
    return ReadStatus::read;
}

}  // namespace

Graded gradeLines(FileLines& student, FileLines& reference, Report& report, GradingWatcher* watcher)
{
    Graded graded;
    std::uint64_t comparedCount = 0;
    // Bytes handed over whole are told at once; those read, as they come.
    if (watcher != nullptr && student.lines.final)
        watcher->studentBytes(student.lines.rest);
    for (;;) {
        Checked checked = checkEntries(student.lines, reference.lines, report, watcher, comparedCount);
        comparedCount += checked.comparedCount;
        graded.wrongEntries += checked.wrongEntries;
        if (exhausted(student) || exhausted(reference))
            break;
        if (needsMore(student)) {
            if (ReadStatus status = readMoreOf(student, watcher); status != ReadStatus::read) {
                graded.outcome = failedRead(status, Outcome::studentUnreadable);
                return graded;
            }
        }
        if (needsMore(reference)) {
            if (ReadStatus status = readMoreOf(reference, nullptr); status != ReadStatus::read) {
                graded.outcome = failedRead(status, Outcome::referenceUnreadable);
                return graded;
            }
        }
    }
    std::uint64_t studentRest = 0;
    std::uint64_t referenceRest = 0;
    if (ReadStatus status = countRestLines(student, studentRest, watcher); status != ReadStatus::read)
        graded.outcome = failedRead(status, Outcome::studentUnreadable);
    else if (status = countRestLines(reference, referenceRest, nullptr); status != ReadStatus::read)
        graded.outcome = failedRead(status, Outcome::referenceUnreadable);
    graded.studentCount = comparedCount + studentRest;
    graded.referenceCount = comparedCount + referenceRest;
    return graded;
}

Outcome compareFiles(std::int32_t testNumber, std::string_view studentPath,
                     int studentFd, int referenceFd, Report& report)
{
    ReadBuffer studentBuffer;
    ReadBuffer referenceBuffer;
    FileLines student = linesOfFile(studentFd, studentBuffer);
    FileLines reference = linesOfFile(referenceFd, referenceBuffer);
    Graded graded = gradeLines(student, reference, report);
    if (graded.outcome == Outcome::compared)
        printScore(testNumber, studentPath, graded.studentCount, graded.referenceCount,
                   graded.wrongEntries, report);
    return graded.outcome;
}

#include "compare.h"

#include "grading/score.h"

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

}  // namespace

Graded gradeLines(FileLines& student, FileLines& reference, Report& report)
{
    Graded graded;
    std::uint64_t comparedCount = 0;
    for (;;) {
        Checked checked = checkEntries(student.lines, reference.lines, report);
        comparedCount += checked.comparedCount;
        graded.wrongEntries += checked.wrongEntries;
        if (exhausted(student) || exhausted(reference))
            break;
        if (needsMore(student)) {
            if (ReadStatus status = readMore(student); status != ReadStatus::read) {
                graded.outcome = failedRead(status, Outcome::studentUnreadable);
                return graded;
            }
        }
        if (needsMore(reference)) {
            if (ReadStatus status = readMore(reference); status != ReadStatus::read) {
                graded.outcome = failedRead(status, Outcome::referenceUnreadable);
                return graded;
            }
        }
    }
    std::uint64_t studentRest = 0;
    std::uint64_t referenceRest = 0;
    if (ReadStatus status = countRestLines(student, studentRest); status != ReadStatus::read)
        graded.outcome = failedRead(status, Outcome::studentUnreadable);
    else if (status = countRestLines(reference, referenceRest); status != ReadStatus::read)
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

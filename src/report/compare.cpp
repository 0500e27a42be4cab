#include "compare.h"

#include "grading/line_walk.h"
#include "grading/verdicts.h"
#include "report_text.h"

#include <array>

namespace {

// Positions are decided a batch at a time, then printed and watched: the
// lines they look into stay in the buffers until the batch is done.
constexpr std::size_t verdictBatch = 64;

// About how many bytes a verdict takes to show: its line, and its fields
// twice over, besides the words.
std::uint64_t shownSize(const Verdict& verdict)
{
    constexpr std::uint64_t words = 96;
    return words + verdict.studentLine.size() +
           2 * (verdict.student.address.size() + verdict.student.label.size() + verdict.reference.address.size() +
                verdict.reference.label.size());
}

Outcome failedRead(ReadStatus status, Outcome unreadable)
{
    return status == ReadStatus::outOfMemory ? Outcome::outOfMemory : unreadable;
}

bool exhausted(const FileLines& file)
{
    return file.final && file.rest.empty();
}

// Whether the next position needs more of this file: it holds no whole line.
bool needsMore(const FileLines& file)
{
    std::size_t size = 0;
    return !wholeLine(file.rest, file.final, size) && !file.final;
}

// Reads more of a file, telling the watcher of the student's new bytes.
ReadStatus readMoreOf(FileLines& file, GradingWatcher* watcher)
{
    std::size_t kept = file.rest.size();
    ReadStatus status = readMore(file);
    if (status == ReadStatus::read && watcher != nullptr)
        watcher->studentBytes(file.rest.substr(kept));
    return status;
}

// The lines from what is left to the end of the file, read and dropped.
ReadStatus countRestLines(FileLines& file, std::uint64_t& count, GradingWatcher* watcher)
{
    LineCount lines;
    for (;;) {
        lines.add(file.rest);
        file.rest = file.rest.substr(file.rest.size());
        if (file.final)
            break;
        if (ReadStatus status = readMoreOf(file, watcher); status != ReadStatus::read)
            return status;
    }
    count = lines.lines();
    return ReadStatus::read;
}

// Checks every position both files have, printing each, then counts the
// lines past the shorter file.
Graded gradeLines(FileLines& student, FileLines& reference, Output& out, GradingWatcher* watcher,
                  std::uint64_t limit, bool& cut)
{
    Graded graded;
    std::uint64_t compared = 0;
    // Bytes handed over whole are told at once; those read, as they come.
    if (watcher != nullptr && student.final)
        watcher->studentBytes(student.rest);
    std::array<Verdict, verdictBatch> verdicts;
    bool printed = !discards(out);
    for (;;) {
        std::size_t decided =
            checkEntries(student.rest, student.final, reference.rest, reference.final, compared, verdicts);
        for (std::size_t i = 0; i < decided; ++i) {
            const Verdict& verdict = verdicts[i];
            if (printed && outputSize(out) + shownSize(verdict) > limit) {
                printed = false;
                cut = true;
            }
            if (printed)
                printVerdict(out, verdict);
            graded.counts.wrongEntries += verdict.right() ? 0 : 1;
            if (watcher != nullptr)
                watcher->checked(verdict);
        }
        compared += decided;
        if (decided == verdicts.size())
            continue;
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
    graded.counts.student = compared + studentRest;
    graded.counts.reference = compared + referenceRest;
    return graded;
}

}  // namespace

Graded compareFiles(const ReportHeading& heading, FileLines& student, FileLines& reference, Output& out,
                    GradingWatcher* watcher, std::uint64_t limit)
{
    printBanner(out, heading.studentPath, heading.referencePath);
    bool cut = false;
    Graded graded = gradeLines(student, reference, out, watcher, limit, cut);
    if (graded.outcome != Outcome::compared)
        return graded;
    if (cut)
        printCut(out, limit);
    printScore(out, heading.testNumber, heading.studentPath, graded.counts);
    return graded;
}

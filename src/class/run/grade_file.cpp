#include "class/run/grade_file.h"

#include "class/outputs/statement_words.h"

#include <cerrno>

namespace {

// A buffer that a long line grew is given back, so that one student's
// file does not hold a worker's memory for the rest of the run.
void releaseGrownBuffer(ReadBuffer& buffer)
{
    if (buffer.capacity > 8 * readBufferSize) {
        buffer.bytes.reset();
        buffer.capacity = 0;
    }
}

constexpr std::uint64_t reportAllowance = 1 << 20;
constexpr std::uint64_t reportBytesPerReferenceByte = 16;

}  // namespace

std::uint64_t reportLimitFor(const Test& test)
{
    return reportAllowance + reportBytesPerReferenceByte * test.text.size();
}

TestResult gradeFile(Grader& grader, Tally& tally, const TestToGrade& test, std::uint32_t student,
                     const StudentFile& file, const ReportHeading& heading)
{
    FileLines studentLines = file.inMemory ? linesOfText(file.bytes) : linesOfFile(file.file.fd, grader.buffer, file.size);
    FileLines referenceLines = linesOfText(test.test.text);
    grader.watcher.start(test.reference, test.places, test.index, student, tally);
    Graded graded = compareFiles(heading, studentLines, referenceLines, grader.report, &grader.watcher,
                                 test.reportLimit);
    // Memory that a first buffer cannot have is the grader's trouble; memory
    // that only a line longer than a buffer wants is the file's.
    bool lineTooLong = grader.buffer.capacity >= grader.buffer.firstCapacity;
    releaseGrownBuffer(grader.buffer);
    TestResult result;
    if (graded.outcome != Outcome::compared) {
        // A file not graded to its end leaves no marks for the summary to
        // count, and is not graded at all.
        grader.watcher.forget();
        result.state = FileState::unreadable;
        result.error = studentLines.error;
        if (graded.outcome == Outcome::outOfMemory) {
            result.state = lineTooLong ? FileState::outOfMemory : FileState::unreadable;
            result.error = ENOMEM;
        }
        return result;
    }
    result.state = FileState::graded;
    result.score = scoreOf(graded.counts);
    result.diagnoses = grader.watcher.finish(graded.counts);
    for (const FoundMistake& mistake : grader.watcher.mistakes())
        result.mistakes.push_back(
            NamedMistake{mistake, mistakeWordsOnce(grader.worded, test.index, mistake, test.test.program)});
    return result;
}

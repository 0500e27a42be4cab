#include "grade_file.h"

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

}  // namespace

TestResult gradeFile(Grader& grader, Tally& tally, const TestToGrade& test, std::uint32_t student,
                     const StudentFile& file, const ReportHeading& heading, Outcome& outcome)
{
    FileLines studentLines = linesOfFile(file.file.fd, grader.buffer, file.size);
    FileLines referenceLines = linesOfText(test.test.text);
    grader.watcher.start(test.reference, test.places, test.index, student, tally);
    Graded graded = compareFiles(heading, studentLines, referenceLines, grader.report, &grader.watcher);
    releaseGrownBuffer(grader.buffer);
    outcome = graded.outcome;
    TestResult result;
    if (graded.outcome != Outcome::compared) {
        // A file not graded to its end leaves no marks for the summary to
        // count, and is not graded at all.
        grader.watcher.forget();
        result.state = FileState::unreadable;
        return result;
    }
    result.state = FileState::graded;
    result.score = scoreOf(graded.counts);
    result.diagnoses = grader.watcher.finish(graded.counts);
    return result;
}

#include "report_text.h"

#include "grading/window.h"

#include <cstdio>

namespace {

// A line from a window is copied as the whole window, a fixed copy that
// costs less than one sized to the line; what lies past the line is
// written over next.
void putStudentLine(Output& out, const Verdict& verdict)
{
    if (verdict.windowed && !out.showControls && outputBufferSize - out.used >= windowSize) {
        std::memcpy(out.buffer + out.used, verdict.studentLine.data(), windowSize);
        out.used += verdict.studentLine.size();
        return;
    }
    putFileText(out, verdict.studentLine);
}

void putField(Output& out, std::string_view opening, std::string_view student, std::string_view reference)
{
    put(out, opening);
    putFileText(out, student);
    put(out, " but should be ");
    putFileText(out, reference);
    put(out, ".\n");
}

}  // namespace

void printBanner(Output& out, std::string_view studentPath, std::string_view referencePath)
{
    put(out, bannerText(studentPath, referencePath));
}

void printVerdict(Output& out, const Verdict& verdict)
{
    put(out, "Checking: ");
    putStudentLine(out, verdict);
    put(out, "\n");
    if (!verdict.complete) {
        put(out, "  Missing address and/or label.\n");
        return;
    }
    // A reference line without a whole symbol cannot be matched; the
    // position is lost rather than judged against half a symbol.
    if (!verdict.referenceComplete) {
        put(out, "  Reference is missing address and/or label.\n");
        return;
    }
    if (!verdict.addressRight)
        putField(out, "  Address is ", verdict.student.address, verdict.reference.address);
    if (!verdict.labelRight)
        putField(out, "  Label is ", verdict.student.label, verdict.reference.label);
    if (verdict.addressRight && verdict.labelRight)
        put(out, "  That looked OK.\n");
}

void printCut(Output& out, std::uint64_t limit)
{
    put(out, "Report cut here, past ");
    putNumber(out, limit);
    put(out, " bytes: every line was graded, and the score counts them all.\n");
}

void printScore(Output& out, std::int32_t testNumber, std::string_view studentPath, const LineCounts& counts)
{
    if (counts.student != counts.reference) {
        put(out, "Error: had ");
        putNumber(out, counts.student);
        put(out, " lines, but should have had ");
        putNumber(out, counts.reference);
        put(out, ".\n");
    }
    put(out, scoreLineStart(testNumber, studentPath));
    putNumber(out, scoreOf(counts));
    put(out, " / ");
    putNumber(out, counts.reference);
    put(out, "\n");
}

std::string bannerText(std::string_view studentPath, std::string_view referencePath)
{
    std::string text = "Comparing ";
    return text.append(studentPath).append(" to ").append(referencePath).append(":\n\n");
}

std::string scoreLineStart(std::int32_t testNumber, std::string_view studentPath)
{
    char opening[24];
    int length = std::snprintf(opening, sizeof opening, "%3d >> ", static_cast<int>(testNumber));
    std::string text(opening, static_cast<std::size_t>(length));
    return text.append(" ").append(studentPath).append(" symbols: ");
}

void renamePaths(std::string& report, std::int32_t testNumber, std::string_view writtenStudent,
                 std::string_view writtenReference, std::string_view shownStudent, std::string_view shownReference)
{
    std::string banner = bannerText(writtenStudent, writtenReference);
    if (!report.starts_with(banner))
        return;
    // The score line is the last: a student's line that looks like one
    // lies above it, and is left as it is.
    std::size_t lastLine = report.size() < 2 ? 0 : report.rfind('\n', report.size() - 2);
    lastLine = lastLine == std::string::npos ? 0 : lastLine + 1;
    std::string score = scoreLineStart(testNumber, writtenStudent);
    if (lastLine >= banner.size() && report.compare(lastLine, score.size(), score) == 0)
        report.replace(lastLine, score.size(), scoreLineStart(testNumber, shownStudent));
    report.replace(0, banner.size(), bannerText(shownStudent, shownReference));
}

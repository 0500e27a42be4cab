// libFuzzer target: the grading core, from the banner to the score line, on
// a student file and a reference file cut from one input.  Besides what the
// sanitizers catch, the report must equal the one a plain, slow model of the
// grading rules writes: the fast paths may not change a byte, however the
// files are cut into reads.  Every verdict a watcher is told must be the
// model's; the window's two kernels must agree on every window of the input;
// what a terminal is shown of a file may hold no control byte; and the class
// command's watcher, grading the same files, must count every wrong
// position, mark every cause it names and every wrong line none explains,
// and its marks, merged and weighed as a class's are, must make the two
// students who handed the file in a pair once they share enough.
//
// The same input, whole, is also read as a class's archive: every entry and
// its data, and every entry read whole as a student's upload inside it,
// never past the caps or the bounds, and every name taken apart into
// components that name no place outside.
//
// Input: two bytes giving the student file's length (little-endian, taken
// modulo what is left), one byte of settings, the student file, then the
// reference file.  The settings byte: bits 0-5 give the read buffer's first
// size less one (so lines are cut at every place), bit 6 reads the student
// file through a pipe and bit 7 the reference file; a file not read through
// a pipe is handed over whole, as the class command hands over a reference.
#include "class/explaining/copying.h"
#include "class/explaining/findings.h"
#include "class/outputs/wording.h"
#include "grading/fields.h"
#include "grading/line_walk.h"
#include "grading/test_number.h"
#include "grading/window.h"
#include "io/archive.h"
#include "io/archive_path.h"
#include "io/descriptor.h"
#include "io/visible_text.h"
#include "report/compare.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string_view> modelLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::vector<std::string_view> modelFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t at = line.find_first_not_of(fieldDelimiters);
    while (at != std::string_view::npos) {
        std::size_t end = line.find_first_of(fieldDelimiters, at);
        fields.push_back(line.substr(at, end - at));
        at = line.find_first_not_of(fieldDelimiters, end);
    }
    return fields;
}

std::string modelReport(std::int32_t testNumber, std::string_view studentText,
                        std::string_view referenceText)
{
    std::vector<std::string_view> student = modelLines(studentText);
    std::vector<std::string_view> reference = modelLines(referenceText);
    std::string out = "Comparing student.sym to reference.sym:\n\n";
    std::size_t wrong = 0;
    for (std::size_t p = 0; p < std::min(student.size(), reference.size()); ++p) {
        out.append("Checking: ").append(student[p]).append("\n");
        std::vector<std::string_view> s = modelFields(student[p]);
        std::vector<std::string_view> r = modelFields(reference[p]);
        std::string verdict;
        if (s.size() < 2)
            verdict = "  Missing address and/or label.\n";
        else if (r.size() < 2)
            verdict = "  Reference is missing address and/or label.\n";
        else {
            if (s[0] != r[0])
                verdict.append("  Address is ").append(s[0]).append(" but should be ").append(r[0]).append(".\n");
            if (s[1] != r[1])
                verdict.append("  Label is ").append(s[1]).append(" but should be ").append(r[1]).append(".\n");
        }
        if (verdict.empty())
            verdict = "  That looked OK.\n";
        else
            ++wrong;
        out += verdict;
    }
    std::size_t difference = std::max(student.size(), reference.size()) - std::min(student.size(), reference.size());
    if (difference != 0)
        out += "Error: had " + std::to_string(student.size()) + " lines, but should have had " +
               std::to_string(reference.size()) + ".\n";
    std::size_t penalty = wrong + difference;
    std::size_t score = reference.size() > penalty ? reference.size() - penalty : 0;
    char opening[24];
    std::snprintf(opening, sizeof opening, "%3d >> ", static_cast<int>(testNumber));
    out += std::string(opening) + " student.sym symbols: " + std::to_string(score) + " / " +
           std::to_string(reference.size()) + "\n";
    return out;
}

#if defined(__SSE2__)
void checkKernelsAgree(std::string_view bytes)
{
    for (std::size_t at = 0; at + windowSize <= bytes.size(); ++at) {
        const char* window = bytes.data() + at;
        const char* other = bytes.data() + (bytes.size() - windowSize - at);
        LineMasks plain = plainWindow::lineMasks(window);
        LineMasks sse2 = sse2Window::lineMasks(window);
        if (plain.newlines != sse2.newlines || plain.delimiters != sse2.delimiters ||
            plainWindow::sameBytes(window, other) != sse2Window::sameBytes(window, other))
            std::abort();
    }
}
#else
void checkKernelsAgree(std::string_view) {}
#endif

// What a terminal is shown of a file holds no control byte, and on a
// terminal that does not read UTF-8, no byte above 0x7f.
void checkVisible(std::string_view bytes)
{
    for (bool utf8 : {true, false})
        for (char c : visibleText(bytes, utf8)) {
            auto byte = static_cast<unsigned char>(c);
            if ((byte < 0x20 && byte != '\t') || byte == 0x7F || (!utf8 && byte >= 0x80))
                std::abort();
        }
}

// Each verdict a watcher is told, in order, as the model decides it: right
// or not, and the two lines' first two fields where it is not.
struct ModelWatcher final : GradingWatcher {
    std::vector<std::string_view> student;
    std::vector<std::string_view> reference;
    std::uint64_t next = 0;
    std::uint64_t wrongWhole = 0;  // wrong positions whose reference line is whole

    void studentBytes(std::string_view) override {}
    void checked(const Verdict& verdict) override
    {
        if (verdict.position != next++ || verdict.studentLine != student[verdict.position] ||
            verdict.referenceLine != reference[verdict.position])
            std::abort();
        std::vector<std::string_view> s = modelFields(student[verdict.position]);
        std::vector<std::string_view> r = modelFields(reference[verdict.position]);
        bool right = s.size() >= 2 && r.size() >= 2 && s[0] == r[0] && s[1] == r[1];
        wrongWhole += !right && r.size() >= 2 ? 1 : 0;
        if (verdict.right() != right || verdict.complete != (s.size() >= 2))
            std::abort();
        if (!right && (verdict.student.address != (s.size() > 0 ? s[0] : "") ||
                       verdict.student.label != (s.size() > 1 ? s[1] : "") ||
                       (verdict.complete && verdict.reference.address != (r.size() > 0 ? r[0] : "")) ||
                       (verdict.complete && verdict.reference.label != (r.size() > 1 ? r[1] : ""))))
            std::abort();
    }
};

// Inputs are at most a few kilobytes, well within a pipe's buffer: the whole
// file is written before it is read.
struct PipeFile {
    int readEnd = -1;
    explicit PipeFile(std::string_view bytes)
    {
        int ends[2];
        if (pipe(ends) != 0)
            std::abort();
        if (!bytes.empty() && write(ends[1], bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            std::abort();
        close(ends[1]);
        readEnd = ends[0];
    }
    ~PipeFile() { close(readEnd); }
};

struct Found {
    std::vector<Diagnosis> diagnoses;
    std::deque<Mark> marks;
    std::uint64_t counted = 0;  // wrong lines counted for the summary
};

Found findingsOf(FileLines& student, std::string_view referenceBytes, std::uint32_t studentNumber = 0)
{
    ReferenceIndex index = indexReference(referenceBytes);
    MarkPlaces places({countLines(referenceBytes)});
    Tally tally;
    FindingsWatcher watcher;
    watcher.start(index, places, 0, studentNumber, tally);
    FileLines reference = linesOfText(referenceBytes);
    Output report;
    Graded graded = compareFiles(ReportHeading{}, student, reference, report, &watcher);
    Found found;
    found.diagnoses = watcher.finish(graded.counts);
    found.marks = std::move(tally.marks);
    for (const WrongLine& line : tally.wrongLines.lines)
        found.counted += line.count;
    return found;
}

// The same file handed in by students 0 and 1, whose marks a worker each
// holds: every group of marks is the two of them, and in a class where
// chance shares little, their pair is listed once they share enough
// pieces, or a set of mistakes no one else has: each wrong line left once
// its causes are undone is a piece, and a set of mistakes, or an order,
// counts once.
void checkCopying(std::string_view studentBytes, std::string_view referenceBytes, std::deque<Mark> marks)
{
    if (marks.empty())
        return;
    FileLines again = linesOfText(studentBytes);
    std::vector<Tally> tallies(2);
    tallies[0].marks = std::move(marks);
    tallies[1].marks = findingsOf(again, referenceBytes, 1).marks;
    MarkPlaces places({countLines(referenceBytes)});
    // A line a file holds twice at one place is one piece.
    bool mistakes = false;
    bool order = false;
    std::vector<Mark> lines;
    for (const Mark& mark : tallies[0].marks) {
        if (!places.placeOf(mark.place).causes) {
            if (std::none_of(lines.begin(), lines.end(), [&](const Mark& seen) { return seen.key() == mark.key(); }))
                lines.push_back(mark);
            continue;
        }
        ((mark.hash & orderTag) != 0 ? order : mistakes) = true;
    }
    auto pieces = static_cast<std::uint32_t>(lines.size() + (mistakes ? 1 : 0) + (order ? 1 : 0));
    constexpr std::uint64_t classSize = 100000;
    CopyFinder copies(places, {classSize}, classSize);
    std::size_t groups = 0;
    forEachGroup(tallies, [&](const Mark& mark, std::span<const std::uint32_t> students) {
        if (students.size() != 2 || students[0] != 0 || students[1] != 1 || mark.place > places.causesOf(0))
            std::abort();
        ++groups;
        copies.shared(mark, students);
    });
    std::vector<SuspectedPair> pairs = copies.suspects();
    bool listed = pieces >= copies.threshold.pieces || pieces >= copies.threshold.ownPieces || mistakes;
    if (groups == 0 || pairs.size() != (listed ? 1u : 0u) || (listed && pairs[0].pieces != pieces))
        std::abort();
}

bool sameFindings(const Found& a, const Found& b)
{
    auto sameDiagnosis = [](const Diagnosis& x, const Diagnosis& y) {
        return x.cause == y.cause && x.forms == y.forms && x.negative == y.negative && x.amount == y.amount &&
               x.value == y.value && x.from == y.from && x.to == y.to && x.since == y.since;
    };
    auto sameMark = [](const Mark& x, const Mark& y) {
        return x.hash == y.hash && x.student == y.student && x.place == y.place;
    };
    return a.counted == b.counted &&
           std::equal(a.diagnoses.begin(), a.diagnoses.end(), b.diagnoses.begin(), b.diagnoses.end(), sameDiagnosis) &&
           std::equal(a.marks.begin(), a.marks.end(), b.marks.begin(), b.marks.end(), sameMark);
}

// What the class command learns of a file while grading it: no crash on any
// bytes, every wrong position counted for the summary, a text for every
// cause, one mark for the file's set of causes but those of how it was
// saved (and at most one where only an untold cut makes it), at most one
// for an order, at most one for each wrong position
// with a whole reference line, and the same findings however the file is
// cut into reads.
void checkFindings(std::string_view studentBytes, std::string_view referenceBytes, std::uint64_t wrongEntries,
                   std::uint64_t wrongWhole, std::size_t bufferSize)
{
    FileLines whole = linesOfText(studentBytes);
    Found found = findingsOf(whole, referenceBytes);
    MarkPlaces places({countLines(referenceBytes)});
    if (found.counted != wrongEntries)
        std::abort();
    std::uint64_t lineMarks = 0;
    std::uint64_t mistakeMarks = 0;
    std::uint64_t orderMarks = 0;
    for (const Mark& mark : found.marks) {
        if (!places.placeOf(mark.place).causes)
            ++lineMarks;
        else
            ++((mark.hash & orderTag) != 0 ? orderMarks : mistakeMarks);
    }
    // How a file was saved or printed is no fact of its assembler's: a copy
    // re-saved changes it.  Any other cause makes the file's one set.
    bool assemblerCause = std::any_of(found.diagnoses.begin(), found.diagnoses.end(), [](const Diagnosis& d) {
        switch (d.cause) {
        case Cause::crlfLineEnds:
        case Cause::byteOrderMark:
        case Cause::zeroBytes:
        case Cause::emptyFile:
        case Cause::trailingEmptyLine:
        case Cause::addressForm:
        case Cause::swappedColumns:
            return false;
        default:
            return true;
        }
    });
    // A wrong line whose address and label are right as values (another
    // width, say) leaves nothing once read: it is no mark.  Labels cut on
    // too few lines for a told cause still make a set.
    if (lineMarks > wrongWhole || mistakeMarks > 1 || (assemblerCause && mistakeMarks != 1) || orderMarks > 1)
        std::abort();
    for (const Diagnosis& diagnosis : found.diagnoses)
        if (describe(diagnosis).empty() || kindOf(diagnosis).empty())
            std::abort();
    PipeFile pipe(studentBytes);
    ReadBuffer buffer;
    buffer.firstCapacity = bufferSize;
    FileLines piecewise = linesOfFile(pipe.readEnd, buffer);
    if (!sameFindings(found, findingsOf(piecewise, referenceBytes)))
        std::abort();
    checkCopying(studentBytes, referenceBytes, std::move(found.marks));
}

// A name's components, when it has no problem, are each a plain name.
void checkEntryPath(std::string_view path)
{
    EntryPath split = splitEntryPath(path);
    if (split.problem != PathProblem::none)
        return;
    for (std::string_view component : split.components)
        if (component.empty() || component == "." || component == ".." ||
            component.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos)
            std::abort();
    if (splitEntryPath(joinPath(split.components)).components != split.components)
        std::abort();
}

constexpr std::uint64_t fuzzCap = 64 * 1024;
// What one libarchive call may decompress past a bound before it is seen.
constexpr std::uint64_t boundSlack = 2 * mebibyte;

// Reads every entry of the open archive, and opens those that read whole
// as a student's uploads while `reader` is a download.
void readArchive(ArchiveReader& reader)
{
    for (;;) {
        ArchiveStatus header = nextEntry(reader);
        if (header != ArchiveStatus::ok && header != ArchiveStatus::damaged)
            break;
        checkEntryPath(reader.entry.path);
        std::string data;
        ArchiveStatus read = readEntry(reader, fuzzCap, data);
        if (data.size() > fuzzCap || reader.entryRead > fuzzCap + 64 * 1024)
            std::abort();
        if (read == ArchiveStatus::ok && reader.kind == ArchiveKind::classDownload) {
            Descriptor set(memfd_create("upload", 0));
            if (set.fd < 0 || write(set.fd, data.data(), data.size()) != static_cast<ssize_t>(data.size()))
                std::abort();
            ArchiveReader upload;
            if (openUpload(set.fd, 0, data.size(), studentUploadLimits, upload) == ArchiveStatus::ok)
                readArchive(upload);
        }
    }
    if (reader.bytesUsed > reader.limits.bytes + boundSlack || reader.entriesUsed > reader.limits.entries)
        std::abort();
}

void checkArchive(std::string_view bytes)
{
    Descriptor file(memfd_create("archive", 0));
    if (file.fd < 0 || write(file.fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        std::abort();
    ArchiveReader download;
    if (openArchive(file.fd, ArchiveKind::classDownload, download) == ArchiveStatus::ok)
        readArchive(download);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr std::size_t headerSize = 3;
    constexpr std::size_t largestPipedFile = 60000;
    if (size < headerSize || size - headerSize > largestPipedFile)
        return 0;
    std::size_t studentSize = (data[0] | data[1] << 8) % (size - headerSize + 1);
    std::uint8_t settings = data[2];
    checkArchive(std::string_view(reinterpret_cast<const char*>(data), size));
    std::string_view body(reinterpret_cast<const char*>(data) + headerSize, size - headerSize);
    std::string_view studentBytes = body.substr(0, studentSize);
    std::string referenceBytes(body.substr(studentSize));
    checkKernelsAgree(body);
    checkVisible(body);

    PipeFile studentPipe(studentBytes);
    PipeFile referencePipe(referenceBytes);
    ReadBuffer studentBuffer;
    ReadBuffer referenceBuffer;
    studentBuffer.firstCapacity = referenceBuffer.firstCapacity = 1 + (settings & 63);
    FileLines student = settings & 64 ? linesOfFile(studentPipe.readEnd, studentBuffer) : linesOfText(studentBytes);
    FileLines reference =
        settings & 128 ? linesOfFile(referencePipe.readEnd, referenceBuffer) : linesOfText(referenceBytes);

    std::string text;
    Output report;
    report.kept = &text;
    // The reference's text up to its first zero byte doubles as a test number.
    std::int32_t testNumber = readTestNumber(referenceBytes.c_str());
    ModelWatcher model;
    model.student = modelLines(studentBytes);
    model.reference = modelLines(referenceBytes);
    Graded graded =
        compareFiles(ReportHeading{testNumber, "student.sym", "reference.sym"}, student, reference, report, &model);
    if (graded.outcome != Outcome::compared || model.next != std::min(model.student.size(), model.reference.size()))
        std::abort();
    flushOutput(report);
    if (text != modelReport(testNumber, studentBytes, referenceBytes))
        std::abort();
    checkFindings(studentBytes, referenceBytes, graded.counts.wrongEntries, model.wrongWhole, 1 + (settings & 63));
    return 0;
}

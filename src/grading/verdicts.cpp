#include "verdicts.h"

#include "fields.h"
#include "line_walk.h"
#include "window.h"

#include <bit>

namespace {

// The gaps of a line of `size` bytes: its delimiters, and all that lies
// past its end.
std::uint64_t gapsOf(std::size_t size, std::uint32_t delimiters)
{
    return delimiters | (~std::uint64_t{0} << size);
}

// Clearing the lowest run of field bytes leaves some only where a second
// field follows the first.
bool hasTwoFields(std::uint64_t gaps)
{
    std::uint64_t fieldBytes = ~gaps;
    return (fieldBytes & (fieldBytes + (fieldBytes & (0 - fieldBytes)))) != 0;
}

// The first field at or after byte `from` of a line with these gaps;
// `from` moves to the field's end.
std::string_view maskedField(std::string_view line, std::uint64_t gaps, unsigned& from)
{
    std::uint64_t fieldBytes = ~gaps & (~std::uint64_t{0} << from);
    if (fieldBytes == 0)
        return {};
    auto start = static_cast<unsigned>(std::countr_zero(fieldBytes));
    from = static_cast<unsigned>(std::countr_zero(gaps & (~std::uint64_t{0} << start)));
    return line.substr(start, from - start);
}

Symbol splitMasked(std::string_view line, std::uint32_t delimiters)
{
    std::uint64_t gaps = gapsOf(line.size(), delimiters);
    unsigned from = 0;
    Symbol symbol;
    symbol.address = maskedField(line, gaps, from);
    symbol.label = maskedField(line, gaps, from);
    return symbol;
}

// Where the two lines differ, the verdict is field by field.
void judgeFields(Verdict& verdict)
{
    verdict.complete = isComplete(verdict.student);
    verdict.referenceComplete = isComplete(verdict.reference);
    verdict.addressRight = verdict.student.address == verdict.reference.address;
    verdict.labelRight = verdict.student.label == verdict.reference.label;
}

// A line the same as the reference's to the byte is right if it is whole.
void judgeSame(Verdict& verdict, bool complete)
{
    verdict.complete = complete;
    verdict.referenceComplete = complete;
    verdict.addressRight = true;
    verdict.labelRight = true;
}

// Lines are taken 32 bytes at a time where both files have that many left:
// a few looks at the window find the student's line end, whether the
// reference's line is the same to the byte, and where the fields lie, with
// no search and few branches.  Most lines of a class's file are the
// reference's to the byte; for those only the student's line is looked
// into, and only far enough to know that it holds an address and a label.
// Longer lines and the last bytes of a buffer take the plain path.
bool takeWindowed(std::string_view& student, std::string_view& reference, Verdict& verdict)
{
    if (student.size() < windowSize || reference.size() < windowSize)
        return false;
    LineMasks studentMasks = window::lineMasks(student.data());
    if (studentMasks.newlines == 0)
        return false;
    auto studentSize = static_cast<std::size_t>(std::countr_zero(studentMasks.newlines));
    std::uint64_t lineAndNewline = ~(~std::uint64_t{0} << (studentSize + 1));
    bool same = (window::sameBytes(student.data(), reference.data()) & lineAndNewline) == lineAndNewline;
    std::size_t referenceSize = studentSize;
    verdict.studentLine = student.substr(0, studentSize);
    if (same) {
        bool complete = hasTwoFields(gapsOf(studentSize, studentMasks.delimiters));
        judgeSame(verdict, complete);
        if (!complete)
            verdict.student = verdict.reference = splitMasked(verdict.studentLine, studentMasks.delimiters);
    } else {
        LineMasks referenceMasks = window::lineMasks(reference.data());
        if (referenceMasks.newlines == 0)
            return false;
        referenceSize = static_cast<std::size_t>(std::countr_zero(referenceMasks.newlines));
        verdict.student = splitMasked(verdict.studentLine, studentMasks.delimiters);
        verdict.reference = splitMasked(reference.substr(0, referenceSize), referenceMasks.delimiters);
        judgeFields(verdict);
    }
    verdict.referenceLine = reference.substr(0, referenceSize);
    verdict.same = same;
    verdict.windowed = true;
    student.remove_prefix(studentSize + 1);
    reference.remove_prefix(referenceSize + 1);
    return true;
}

bool takePlain(std::string_view& student, bool studentFinal, std::string_view& reference, bool referenceFinal,
               Verdict& verdict)
{
    std::size_t studentSize = 0;
    std::size_t referenceSize = 0;
    if (!wholeLine(student, studentFinal, studentSize) || !wholeLine(reference, referenceFinal, referenceSize))
        return false;
    verdict.studentLine = takeLine(student, studentSize);
    verdict.referenceLine = takeLine(reference, referenceSize);
    verdict.same = verdict.studentLine == verdict.referenceLine;
    verdict.windowed = false;
    verdict.student = splitEntry(verdict.studentLine);
    if (verdict.same) {
        verdict.reference = verdict.student;
        judgeSame(verdict, isComplete(verdict.student));
    } else {
        verdict.reference = splitEntry(verdict.referenceLine);
        judgeFields(verdict);
    }
    return true;
}

}  // namespace

std::size_t checkEntries(std::string_view& student, bool studentFinal, std::string_view& reference,
                         bool referenceFinal, std::uint64_t firstPosition, std::span<Verdict> verdicts)
{
    std::size_t decided = 0;
    // Each verdict's fields are written one by one: zeroing a whole verdict
    // anew for every line took a quarter of a run.
    while (decided < verdicts.size()) {
        Verdict& verdict = verdicts[decided];
        if (!takeWindowed(student, reference, verdict) &&
            !takePlain(student, studentFinal, reference, referenceFinal, verdict))
            break;
        verdict.position = firstPosition + decided;
        ++decided;
    }
    return decided;
}

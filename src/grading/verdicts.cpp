#include "verdicts.h"

#include "fields.h"
#include "window.h"

#include <bit>
#include <cstring>

namespace {

// The gaps of an entry of `size` bytes: its delimiters, and all that lies
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

// The first field at or after byte `from` of an entry with these gaps;
// `from` moves to the field's end.
std::string_view maskedField(std::string_view entry, std::uint64_t gaps, unsigned& from)
{
    std::uint64_t fieldBytes = ~gaps & (~std::uint64_t{0} << from);
    if (fieldBytes == 0)
        return {};
    auto start = static_cast<unsigned>(std::countr_zero(fieldBytes));
    from = static_cast<unsigned>(std::countr_zero(gaps & (~std::uint64_t{0} << start)));
    return entry.substr(start, from - start);
}

Symbol splitMasked(std::string_view entry, std::uint32_t delimiters)
{
    std::uint64_t gaps = gapsOf(entry.size(), delimiters);
    unsigned from = 0;
    Symbol symbol;
    symbol.address = maskedField(entry, gaps, from);
    symbol.label = maskedField(entry, gaps, from);
    return symbol;
}

// One compared position. Most lines of a class's file are the reference's
// to the byte; for those only the student's line is looked into, and only
// far enough to know that it holds an address and a label.
struct Position {
    std::string_view studentEntry;
    std::string_view referenceEntry;
    bool windowed = false;
    bool same = false;
    bool complete = false;
    Symbol student;    // split only where the two lines differ
    Symbol reference;  // likewise
};

// Lines are taken 32 bytes at a time where both files have that many left:
// a few looks at the window find the student's line end, whether the
// reference's line is the same to the byte, and where the fields lie, with
// no search and few branches.  Longer lines and the last bytes of a buffer
// take the plain path.
bool takeWindowed(std::string_view& student, std::string_view& reference, Position& position)
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
    position.studentEntry = student.substr(0, studentSize);
    if (same) {
        position.complete = hasTwoFields(gapsOf(studentSize, studentMasks.delimiters));
    } else {
        LineMasks referenceMasks = window::lineMasks(reference.data());
        if (referenceMasks.newlines == 0)
            return false;
        referenceSize = static_cast<std::size_t>(std::countr_zero(referenceMasks.newlines));
        position.student = splitMasked(position.studentEntry, studentMasks.delimiters);
        position.reference = splitMasked(reference.substr(0, referenceSize), referenceMasks.delimiters);
        position.complete = isComplete(position.student);
    }
    position.referenceEntry = reference.substr(0, referenceSize);
    position.windowed = true;
    position.same = same;
    student.remove_prefix(studentSize + 1);
    reference.remove_prefix(referenceSize + 1);
    return true;
}

// The size of the line that `lines` starts with, when all of it has been
// read.  A last line without a newline is still a line.
bool wholeLine(const Lines& lines, std::size_t& size)
{
    if (lines.rest.empty())
        return false;
    const void* newline = std::memchr(lines.rest.data(), '\n', lines.rest.size());
    if (newline == nullptr) {
        size = lines.rest.size();
        return lines.final;
    }
    size = static_cast<std::size_t>(static_cast<const char*>(newline) - lines.rest.data());
    return true;
}

std::string_view takeLine(Lines& lines, std::size_t size)
{
    std::string_view entry = lines.rest.substr(0, size);
    lines.rest.remove_prefix(size < lines.rest.size() ? size + 1 : size);
    return entry;
}

bool takePlain(Lines& student, Lines& reference, Position& position)
{
    std::size_t studentSize = 0;
    std::size_t referenceSize = 0;
    if (!wholeLine(student, studentSize) || !wholeLine(reference, referenceSize))
        return false;
    position.studentEntry = takeLine(student, studentSize);
    std::string_view referenceEntry = takeLine(reference, referenceSize);
    position.referenceEntry = referenceEntry;
    position.windowed = false;
    position.same = referenceEntry == position.studentEntry;
    position.student = splitEntry(position.studentEntry);
    position.reference = position.same ? Symbol{} : splitEntry(referenceEntry);
    position.complete = isComplete(position.student);
    return true;
}

// An entry from a window is copied as the whole window, a fixed copy that
// costs less than one sized to the entry; what lies past the entry is
// written over next.
void putEntry(Report& report, const Position& position)
{
    if (position.windowed && !report.showControls && reportBufferSize - report.used >= windowSize) {
        std::memcpy(report.buffer + report.used, position.studentEntry.data(), windowSize);
        report.used += position.studentEntry.size();
        return;
    }
    putFileText(report, position.studentEntry);
}

bool checkField(std::string_view opening, std::string_view student, std::string_view reference,
                Report& report)
{
    if (student == reference)
        return true;
    put(report, opening);
    putFileText(report, student);
    put(report, " but should be ");
    putFileText(report, reference);
    put(report, ".\n");
    return false;
}

// Prints the position's checking line and verdict; gives whether it was right.
bool checkPosition(const Position& position, Report& report)
{
    put(report, "Checking: ");
    putEntry(report, position);
    put(report, "\n");
    if (!position.complete) {
        put(report, "  Missing address and/or label.\n");
        return false;
    }
    if (position.same) {
        put(report, "  That looked OK.\n");
        return true;
    }
    // A reference line without a whole symbol cannot be matched; the
    // position is lost rather than judged against half a symbol.
    if (!isComplete(position.reference)) {
        put(report, "  Reference is missing address and/or label.\n");
        return false;
    }
    bool addressOk = checkField("  Address is ", position.student.address, position.reference.address, report);
    bool labelOk = checkField("  Label is ", position.student.label, position.reference.label, report);
    if (addressOk && labelOk)
        put(report, "  That looked OK.\n");
    return addressOk && labelOk;
}

}  // namespace

Checked checkEntries(Lines& student, Lines& reference, Report& report, GradingWatcher* watcher,
                     std::uint64_t firstPosition)
{
    Checked checked;
    // Declared once: zeroing it anew for every line took a quarter of a run.
    Position position;
    while (takeWindowed(student.rest, reference.rest, position) || takePlain(student, reference, position)) {
        bool right = checkPosition(position, report);
        if (!right)
            ++checked.wrongEntries;
        if (watcher != nullptr)
            watcher->checked(firstPosition + checked.comparedCount, position.studentEntry, position.referenceEntry,
                             right);
        ++checked.comparedCount;
    }
    return checked;
}

#include "compare.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Where a read starts when the file's size is not known.
constexpr std::size_t minimumCapacity = 64 * 1024;

constexpr std::int64_t testNumberMagnitudeLimit = 2147483648;  // -INT32_MIN

constexpr std::array<bool, 256> delimiterTable()
{
    std::array<bool, 256> table{};
    for (char c : fieldDelimiters)
        table[static_cast<unsigned char>(c)] = true;
    return table;
}

constexpr std::array<bool, 256> isDelimiter = delimiterTable();

void writeAll(Report& report, const char* data, std::size_t size)
{
    while (size > 0 && !report.failed) {
        ssize_t written = write(report.fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            report.failed = true;
            return;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void putNumber(Report& report, std::uint64_t number)
{
    char digits[24];
    std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, number);
    put(report, std::string_view(digits, static_cast<std::size_t>(end.ptr - digits)));
}

std::size_t regularFileSize(std::FILE* stream)
{
    struct stat info;
    int fd = fileno(stream);
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0)
        return 0;
    if (static_cast<std::uintmax_t>(info.st_size) >= SIZE_MAX / 2)
        return SIZE_MAX / 2;
    return static_cast<std::size_t>(info.st_size);
}

// A regular file is mapped rather than read: no copy, and no memory of our
// own for its bytes.
bool mapListing(std::FILE* stream, std::size_t size, Listing& listing)
{
    void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fileno(stream), 0);
    if (mapped == MAP_FAILED)
        return false;
    listing.bytes = std::unique_ptr<char, ReleaseBytes>(static_cast<char*>(mapped), ReleaseBytes{size});
    listing.text = std::string_view(listing.bytes.get(), size);
    return true;
}

bool grow(Listing& listing, std::size_t& capacity)
{
    if (capacity > SIZE_MAX / 2)
        return false;
    char* grown = static_cast<char*>(std::realloc(listing.bytes.get(), capacity * 2));
    if (grown == nullptr)
        return false;
    (void)listing.bytes.release();
    listing.bytes.reset(grown);
    capacity *= 2;
    return true;
}

// Pipes, FIFOs and files that cannot be mapped or whose size is not known
// (those under /proc) are read into a buffer that grows by doubling; a
// regular file's buffer has room for its size plus one byte, so that one
// read takes the file and the next sees its end.
LoadStatus readListing(std::FILE* stream, std::size_t sizeHint, Listing& listing)
{
    std::size_t capacity = std::max(sizeHint + 1, minimumCapacity);
    listing.bytes.reset(static_cast<char*>(std::malloc(capacity)));
    if (!listing.bytes)
        return LoadStatus::outOfMemory;
    std::size_t size = 0;
    for (;;) {
        if (size == capacity && !grow(listing, capacity))
            return LoadStatus::outOfMemory;
        std::size_t wanted = capacity - size;
        std::size_t got = std::fread(listing.bytes.get() + size, 1, wanted, stream);
        size += got;
        if (got < wanted)
            break;
    }
    // A read error is not the end of the file: a listing cut short would be
    // graded as if the student had left the rest out.
    if (std::ferror(stream))
        return LoadStatus::readError;
    // Give back what the doubling reserved beyond the file.
    if (char* fitted = static_cast<char*>(std::realloc(listing.bytes.get(), std::max(size, std::size_t{1})))) {
        (void)listing.bytes.release();
        listing.bytes.reset(fitted);
    }
    listing.text = std::string_view(listing.bytes.get(), size);
    return LoadStatus::loaded;
}

// A last line without a newline is still a line.
std::uint64_t countLines(std::string_view text)
{
    if (text.empty())
        return 0;
    auto newlines = static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n'));
    return newlines + (text.back() != '\n' ? 1 : 0);
}

std::string_view nextEntry(std::string_view& rest)
{
    const void* newline = std::memchr(rest.data(), '\n', rest.size());
    if (newline == nullptr) {
        std::string_view entry = rest;
        rest = {};
        return entry;
    }
    std::size_t size = static_cast<std::size_t>(static_cast<const char*>(newline) - rest.data());
    std::string_view entry = rest.substr(0, size);
    rest.remove_prefix(size + 1);
    return entry;
}

// Fields are never empty, so an empty view stands for a field the line lacks.
std::string_view nextField(std::string_view& rest)
{
    std::size_t start = 0;
    while (start < rest.size() && isDelimiter[static_cast<unsigned char>(rest[start])])
        ++start;
    std::size_t end = start;
    while (end < rest.size() && !isDelimiter[static_cast<unsigned char>(rest[end])])
        ++end;
    std::string_view field = rest.substr(start, end - start);
    rest.remove_prefix(end);
    return field;
}

struct Symbol {
    std::string_view address;
    std::string_view label;
};

Symbol splitEntry(std::string_view entry)
{
    Symbol symbol;
    symbol.address = nextField(entry);
    symbol.label = nextField(entry);
    return symbol;
}

// A label is only found after an address.
bool isComplete(const Symbol& symbol)
{
    return !symbol.label.empty();
}

// Lines are taken 32 bytes at a time where both files have that many left:
// a few looks at the window find the student's line end, whether the
// reference's line is the same to the byte, and where the fields lie, with
// no search and few branches.  Longer lines and the last bytes of a file
// take the plain path.  Bit i of each mask tells of byte i of the window.
constexpr std::size_t windowSize = 32;

struct LineMasks {
    std::uint32_t newlines = 0;
    std::uint32_t delimiters = 0;
};

#if defined(__SSE2__)
std::uint32_t equalBytes(__m128i bytes, __m128i other)
{
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, other)));
}

__m128i load16(const char* bytes)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
}

LineMasks lineMasks(const char* window)
{
    LineMasks masks;
    for (std::size_t offset = 0; offset < windowSize; offset += 16) {
        __m128i bytes = load16(window + offset);
        std::uint32_t delimiters = 0;
        for (char delimiter : fieldDelimiters)
            delimiters |= equalBytes(bytes, _mm_set1_epi8(delimiter));
        masks.newlines |= equalBytes(bytes, _mm_set1_epi8('\n')) << offset;
        masks.delimiters |= delimiters << offset;
    }
    return masks;
}

std::uint32_t sameBytes(const char* window, const char* other)
{
    return equalBytes(load16(window), load16(other)) |
           equalBytes(load16(window + 16), load16(other + 16)) << 16;
}
#else
LineMasks lineMasks(const char* window)
{
    LineMasks masks;
    for (std::size_t at = 0; at < windowSize; ++at) {
        auto byte = static_cast<unsigned char>(window[at]);
        masks.newlines |= std::uint32_t{byte == '\n'} << at;
        masks.delimiters |= std::uint32_t{isDelimiter[byte]} << at;
    }
    return masks;
}

std::uint32_t sameBytes(const char* window, const char* other)
{
    std::uint32_t same = 0;
    for (std::size_t at = 0; at < windowSize; ++at)
        same |= std::uint32_t{window[at] == other[at]} << at;
    return same;
}
#endif

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
    bool windowed = false;
    bool same = false;
    bool complete = false;
    Symbol student;    // split only where the two lines differ
    Symbol reference;  // likewise
};

bool takeWindowed(std::string_view& student, std::string_view& reference, Position& position)
{
    if (student.size() < windowSize || reference.size() < windowSize)
        return false;
    LineMasks studentMasks = lineMasks(student.data());
    if (studentMasks.newlines == 0)
        return false;
    auto studentSize = static_cast<std::size_t>(std::countr_zero(studentMasks.newlines));
    std::uint64_t lineAndNewline = ~(~std::uint64_t{0} << (studentSize + 1));
    bool same = (sameBytes(student.data(), reference.data()) & lineAndNewline) == lineAndNewline;
    std::size_t referenceSize = studentSize;
    position.studentEntry = student.substr(0, studentSize);
    if (same) {
        position.complete = hasTwoFields(gapsOf(studentSize, studentMasks.delimiters));
    } else {
        LineMasks referenceMasks = lineMasks(reference.data());
        if (referenceMasks.newlines == 0)
            return false;
        referenceSize = static_cast<std::size_t>(std::countr_zero(referenceMasks.newlines));
        position.student = splitMasked(position.studentEntry, studentMasks.delimiters);
        position.reference = splitMasked(reference.substr(0, referenceSize), referenceMasks.delimiters);
        position.complete = isComplete(position.student);
    }
    position.windowed = true;
    position.same = same;
    student.remove_prefix(studentSize + 1);
    reference.remove_prefix(referenceSize + 1);
    return true;
}

Position takePlain(std::string_view& student, std::string_view& reference)
{
    Position position;
    position.studentEntry = nextEntry(student);
    std::string_view referenceEntry = nextEntry(reference);
    position.same = referenceEntry == position.studentEntry;
    position.student = splitEntry(position.studentEntry);
    if (!position.same)
        position.reference = splitEntry(referenceEntry);
    position.complete = isComplete(position.student);
    return position;
}

// An entry from a window is copied as the whole window, a fixed copy that
// costs less than one sized to the entry; what lies past the entry is
// written over next.
void putEntry(Report& report, const Position& position)
{
    if (position.windowed && reportBufferSize - report.used >= windowSize) {
        std::memcpy(report.buffer + report.used, position.studentEntry.data(), windowSize);
        report.used += position.studentEntry.size();
        return;
    }
    put(report, position.studentEntry);
}

bool checkField(std::string_view opening, std::string_view student, std::string_view reference,
                Report& report)
{
    if (student == reference)
        return true;
    put(report, opening);
    put(report, student);
    put(report, " but should be ");
    put(report, reference);
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

Outcome failedLoad(LoadStatus status, Outcome unreadable)
{
    return status == LoadStatus::outOfMemory ? Outcome::outOfMemory : unreadable;
}

}  // namespace

void ReleaseBytes::operator()(char* bytes) const
{
    if (mappedSize > 0)
        munmap(bytes, mappedSize);
    else
        std::free(bytes);
}

void flushAndPut(Report& report, std::string_view text)
{
    flushReport(report);
    if (text.size() >= reportBufferSize) {
        writeAll(report, text.data(), text.size());
        return;
    }
    std::memcpy(report.buffer, text.data(), text.size());
    report.used = text.size();
}

bool flushReport(Report& report)
{
    writeAll(report, report.buffer, report.used);
    report.used = 0;
    return !report.failed;
}

LoadStatus loadListing(std::FILE* stream, Listing& listing)
{
    std::size_t size = regularFileSize(stream);
    if (size > 0 && mapListing(stream, size, listing))
        return LoadStatus::loaded;
    return readListing(stream, size, listing);
}

Checked checkEntries(std::string_view& student, std::string_view& reference, Report& report)
{
    Checked checked;
    // Declared once: zeroing it anew for every line took a quarter of a run.
    Position position;
    for (; !student.empty() && !reference.empty(); ++checked.comparedCount) {
        if (!takeWindowed(student, reference, position))
            position = takePlain(student, reference);
        if (!checkPosition(position, report))
            ++checked.wrongEntries;
    }
    return checked;
}

void printScore(std::int32_t testNumber, std::string_view studentPath,
                std::uint64_t studentCount, std::uint64_t referenceCount,
                std::uint64_t wrongEntries, Report& report)
{
    std::uint64_t countDifference = studentCount > referenceCount
                                        ? studentCount - referenceCount
                                        : referenceCount - studentCount;
    if (countDifference != 0) {
        put(report, "Error: had ");
        putNumber(report, studentCount);
        put(report, " lines, but should have had ");
        putNumber(report, referenceCount);
        put(report, ".\n");
    }
    std::uint64_t penalty = wrongEntries + countDifference;
    std::uint64_t score = referenceCount > penalty ? referenceCount - penalty : 0;

    char opening[24];
    int length = std::snprintf(opening, sizeof opening, "%3d >> ", static_cast<int>(testNumber));
    put(report, std::string_view(opening, static_cast<std::size_t>(length)));
    put(report, " ");
    put(report, studentPath);
    put(report, " symbols: ");
    putNumber(report, score);
    put(report, " / ");
    putNumber(report, referenceCount);
    put(report, "\n");
}

Outcome compareFiles(std::int32_t testNumber, std::string_view studentPath,
                     std::FILE* student, std::FILE* reference, Report& report)
{
    Listing studentListing;
    Listing referenceListing;
    LoadStatus status = loadListing(student, studentListing);
    if (status != LoadStatus::loaded)
        return failedLoad(status, Outcome::studentUnreadable);
    status = loadListing(reference, referenceListing);
    if (status != LoadStatus::loaded)
        return failedLoad(status, Outcome::referenceUnreadable);

    std::string_view studentRest = studentListing.text;
    std::string_view referenceRest = referenceListing.text;
    Checked checked = checkEntries(studentRest, referenceRest, report);
    printScore(testNumber, studentPath, checked.comparedCount + countLines(studentRest),
               checked.comparedCount + countLines(referenceRest), checked.wrongEntries, report);
    return Outcome::compared;
}

std::int32_t readTestNumber(const char* text)
{
    // atoi's white space in the C locale: blank and \t \n \v \f \r.
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    std::int64_t magnitude = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        magnitude = std::min(magnitude * 10 + (*text - '0'), testNumberMagnitudeLimit);
    if (negative)
        return static_cast<std::int32_t>(-magnitude);
    return static_cast<std::int32_t>(std::min(magnitude, testNumberMagnitudeLimit - 1));
}

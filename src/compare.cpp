#include "compare.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Pipes, FIFOs and files whose size lies (those under /proc) start here and
// grow by doubling.
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

// Room for a regular file's whole size plus one byte, so that one read
// takes the file and the next sees its end.
std::size_t initialCapacity(std::FILE* stream)
{
    struct stat info;
    int fd = fileno(stream);
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0)
        return minimumCapacity;
    if (static_cast<std::uintmax_t>(info.st_size) >= SIZE_MAX / 2)
        return SIZE_MAX / 2;
    return std::max(static_cast<std::size_t>(info.st_size) + 1, minimumCapacity);
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

// A last line without a newline is still a line.
std::uint64_t countLines(const char* bytes, std::size_t size)
{
    if (size == 0)
        return 0;
    auto newlines = static_cast<std::uint64_t>(std::count(bytes, bytes + size, '\n'));
    return newlines + (bytes[size - 1] != '\n' ? 1 : 0);
}

std::string_view nextEntry(std::string_view& rest)
{
    std::size_t end = rest.find('\n');
    std::string_view entry = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
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

bool checkEntry(const Symbol& student, const Symbol& reference, Report& report)
{
    if (!isComplete(student)) {
        put(report, "  Missing address and/or label.\n");
        return false;
    }
    // A reference line without a whole symbol cannot be matched; the
    // position is lost rather than judged against half a symbol.
    if (!isComplete(reference)) {
        put(report, "  Reference is missing address and/or label.\n");
        return false;
    }
    bool addressOk = checkField("  Address is ", student.address, reference.address, report);
    bool labelOk = checkField("  Label is ", student.label, reference.label, report);
    if (addressOk && labelOk)
        put(report, "  That looked OK.\n");
    return addressOk && labelOk;
}

Outcome failedLoad(LoadStatus status, Outcome unreadable)
{
    return status == LoadStatus::outOfMemory ? Outcome::outOfMemory : unreadable;
}

}  // namespace

void put(Report& report, std::string_view text)
{
    if (text.size() > reportBufferSize - report.used) {
        flushReport(report);
        if (text.size() >= reportBufferSize) {
            writeAll(report, text.data(), text.size());
            return;
        }
    }
    if (!text.empty())
        std::memcpy(report.buffer + report.used, text.data(), text.size());
    report.used += text.size();
}

bool flushReport(Report& report)
{
    writeAll(report, report.buffer, report.used);
    report.used = 0;
    return !report.failed;
}

LoadStatus loadListing(std::FILE* stream, Listing& listing)
{
    std::size_t capacity = initialCapacity(stream);
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
    listing.size = size;
    listing.count = countLines(listing.bytes.get(), size);
    return LoadStatus::loaded;
}

std::uint64_t checkEntries(const Listing& student, const Listing& reference,
                           std::uint64_t comparedCount, Report& report)
{
    std::string_view studentRest(student.bytes.get(), student.size);
    std::string_view referenceRest(reference.bytes.get(), reference.size);
    std::uint64_t wrongEntries = 0;
    for (std::uint64_t position = 0; position < comparedCount; ++position) {
        std::string_view studentEntry = nextEntry(studentRest);
        std::string_view referenceEntry = nextEntry(referenceRest);
        put(report, "Checking: ");
        put(report, studentEntry);
        put(report, "\n");
        if (!checkEntry(splitEntry(studentEntry), splitEntry(referenceEntry), report))
            ++wrongEntries;
    }
    return wrongEntries;
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

    std::uint64_t comparedCount = std::min(studentListing.count, referenceListing.count);
    std::uint64_t wrongEntries = checkEntries(studentListing, referenceListing, comparedCount, report);
    printScore(testNumber, studentPath, studentListing.count, referenceListing.count,
               wrongEntries, report);
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

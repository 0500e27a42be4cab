// The listing comparison: load two symbol table listings, check them
// position by position and write the report.
#ifndef LABELGRADE_COMPARE_H
#define LABELGRADE_COMPARE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

// Bytes that separate the fields of a line; any run of them is one gap.
constexpr std::string_view fieldDelimiters = " \t,:";

constexpr std::size_t reportBufferSize = 64 * 1024;

// The report goes out through one buffer so that a large comparison costs
// a write per buffer, not one per line.  A failed write is remembered and
// everything after it is dropped; the caller checks `failed` before exit.
struct Report {
    int fd = -1;
    bool failed = false;
    std::size_t used = 0;
    char buffer[reportBufferSize];
};

void put(Report& report, std::string_view text);
bool flushReport(Report& report);

struct FreeBytes {
    void operator()(char* bytes) const { std::free(bytes); }
};

// A listing is its file's bytes, read whole, and the number of lines in
// them.  Entries are the lines themselves, walked in order when checked.
struct Listing {
    std::unique_ptr<char, FreeBytes> bytes;
    std::size_t size = 0;
    std::uint64_t count = 0;
};

enum class LoadStatus { loaded, readError, outOfMemory };

LoadStatus loadListing(std::FILE* stream, Listing& listing);

std::uint64_t checkEntries(const Listing& student, const Listing& reference,
                           std::uint64_t comparedCount, Report& report);

void printScore(std::int32_t testNumber, std::string_view studentPath,
                std::uint64_t studentCount, std::uint64_t referenceCount,
                std::uint64_t wrongEntries, Report& report);

enum class Outcome { compared, studentUnreadable, referenceUnreadable, outOfMemory };

Outcome compareFiles(std::int32_t testNumber, std::string_view studentPath,
                     std::FILE* student, std::FILE* reference, Report& report);

// The test number as atoi reads it, held to the range of a 32-bit int.
std::int32_t readTestNumber(const char* text);

#endif

// The listing comparison: load two symbol table listings, check them
// position by position and write the report.
#ifndef LABELGRADE_COMPARE_H
#define LABELGRADE_COMPARE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

// Bytes that separate the fields of a line; any run of them is one gap.
constexpr std::string_view fieldDelimiters = " \t,:";

constexpr std::size_t reportBufferSize = 64 * 1024;

// The report goes out through one buffer so that a large comparison costs
// a write per buffer, not one per line.  A failed write is remembered and
// everything after it is dropped; flushReport tells whether all went out.
struct Report {
    int fd = -1;
    bool failed = false;
    std::size_t used = 0;
    char buffer[reportBufferSize];
};

void flushAndPut(Report& report, std::string_view text);
bool flushReport(Report& report);

inline void put(Report& report, std::string_view text)
{
    if (text.size() > reportBufferSize - report.used) {
        flushAndPut(report, text);
        return;
    }
    if (!text.empty())
        std::memcpy(report.buffer + report.used, text.data(), text.size());
    report.used += text.size();
}

// Frees what the listing's bytes came from: a mapping of the file, or the
// memory the file was read into.
struct ReleaseBytes {
    std::size_t mappedSize = 0;
    void operator()(char* bytes) const;
};

// A listing is its file's bytes, whole; its entries are the lines in them,
// walked in order when they are checked.
struct Listing {
    std::unique_ptr<char, ReleaseBytes> bytes;
    std::string_view text;
};

enum class LoadStatus { loaded, readError, outOfMemory };

LoadStatus loadListing(std::FILE* stream, Listing& listing);

struct Checked {
    std::uint64_t comparedCount = 0;
    std::uint64_t wrongEntries = 0;
};

// Checks the positions that both texts have, consuming them: what is left in
// either afterwards are the lines past the other's end.
Checked checkEntries(std::string_view& student, std::string_view& reference, Report& report);

void printScore(std::int32_t testNumber, std::string_view studentPath,
                std::uint64_t studentCount, std::uint64_t referenceCount,
                std::uint64_t wrongEntries, Report& report);

enum class Outcome { compared, studentUnreadable, referenceUnreadable, outOfMemory };

Outcome compareFiles(std::int32_t testNumber, std::string_view studentPath,
                     std::FILE* student, std::FILE* reference, Report& report);

// The test number as atoi reads it, held to the range of a 32-bit int.
std::int32_t readTestNumber(const char* text);

#endif

// What a student's file for a test shows besides its score: the causes that
// explain lost points, in words an instructor reads once, and the file's
// wrong lines, for the summary and for spotting copied work.  Found while
// the file is graded; grading itself is untouched.
#ifndef LABELGRADE_FINDINGS_H
#define LABELGRADE_FINDINGS_H

#include "grading/fields.h"
#include "grading/verdicts.h"
#include "tally.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class Cause : std::uint8_t {
    crlfLineEnds,
    byteOrderMark,
    zeroBytes,
    emptyFile,
    trailingEmptyLine,
    shiftedLines,
    addressForm,
    decimalAddresses,
    addressOffset,
    labelCase,
    swappedColumns,
};

// One cause, with how much and where, kept small: a large class holds
// hundreds of thousands.  For a shift, `amount` is how far (negative: lines
// added above, positive: lines left out) and `value` the first student line
// (from 1) in the wrong place; otherwise `amount` counts the lines the cause
// touches, and `value` is, for CR LF line ends, the file's line count, and
// for an address offset, the student's address less the reference's.
struct Diagnosis {
    Cause cause;
    std::uint8_t forms = 0;  // for addressForm: which AddressForm bits
    std::int32_t amount = 0;
    std::int64_t value = 0;
};

enum AddressForm : std::uint8_t { prefixed = 1, lowercase = 2, otherWidth = 4 };

std::string describe(const Diagnosis& diagnosis);

std::uint64_t hashText(std::string_view text);

// A hash of a file's bytes, told in pieces, that does not depend on where
// the pieces were cut: eight bytes at a time, the last few padded.
struct StreamHash {
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    std::uint64_t carry = 0;
    unsigned carried = 0;  // bytes in `carry`

    void add(std::string_view bytes);
    std::uint64_t finish(std::uint64_t size) const;
};

// The reference as the watcher needs it: each line's symbol, and whether a
// line equals the ones one and two lines away (a right line then also sits
// where a shifted one would).
struct ReferenceIndex {
    std::vector<Symbol> symbols;
    std::vector<std::uint8_t> sameAsNeighbour;  // bit per shift, as in shiftBit
};

ReferenceIndex indexReference(std::string_view text);

// Watches one file at a time through the grading core, and marks its wrong
// lines, and the file itself if it is not fully right, in the worker's
// tally.
struct FindingsWatcher final : GradingWatcher {
    void start(const ReferenceIndex& reference, std::uint32_t test, std::uint32_t student, Tally& tally);
    void studentBytes(std::string_view bytes) override;
    void checked(std::uint64_t position, std::string_view studentEntry, std::string_view referenceEntry,
                 bool right) override;
    // The causes found, once the file is graded and its line counts known.
    std::vector<Diagnosis> finish(std::uint64_t studentCount, std::uint64_t referenceCount);

private:
    struct ShiftRun {
        std::uint64_t start = 0;    // where the run of shifted lines that reaches the end starts
        std::uint64_t defined = 0;  // positions in it whose shifted line exists
        std::uint64_t wrong = 0;    // of those, the ones wrong where they stand
    };
    void watchShifts(std::uint64_t position, const Symbol* student, bool right);
    void watchWrongLine(std::uint64_t position, std::string_view studentEntry);
    std::vector<Diagnosis> diagnose(std::uint64_t studentCount, std::uint64_t referenceCount) const;

    const ReferenceIndex* reference_ = nullptr;
    std::uint32_t test_ = 0;
    std::uint32_t student_ = 0;
    Tally* tally_ = nullptr;
    bool anyWrong_ = false;
    StreamHash fileHash_;
    std::uint64_t size_ = 0;
    std::uint64_t newlines_ = 0;
    std::uint64_t crlfLines_ = 0;
    bool zeroBytes_ = false;
    unsigned char first_[3] = {};
    char previous_ = '\n';
    bool lineBlank_ = true;       // the line being read holds only blanks so far
    bool lastLineBlank_ = false;  // the last whole line did
    std::uint64_t addressForm_ = 0;
    std::uint8_t forms_ = 0;
    std::uint64_t decimal_ = 0;
    std::uint64_t labelCase_ = 0;
    std::uint64_t swapped_ = 0;
    std::vector<std::int64_t> offsets_;  // of addresses wrong in value under a right label
    ShiftRun shifts_[4];
};

#endif

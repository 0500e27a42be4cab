// A cause that explains points a student's file lost, as the class keeps
// it: small, since a large class holds hundreds of thousands.
#ifndef LABELGRADE_DIAGNOSIS_H
#define LABELGRADE_DIAGNOSIS_H

#include <cstdint>

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

enum AddressForm : std::uint8_t { prefixed = 1, lowercase = 2, otherWidth = 4 };

// For a shift, `amount` is how far (negative: lines added above, positive:
// lines left out) and `value` the first student line (from 1) in the wrong
// place.  Otherwise `amount` counts the lines the cause touches, and
// `value` is, for CR LF line ends, the file's line count, and for an
// address offset, how far the student's addresses lie from the reference's
// (below it where `negative` is set).
struct Diagnosis {
    Cause cause;
    std::uint8_t forms = 0;  // for addressForm: which AddressForm bits
    bool negative = false;
    std::int32_t amount = 0;
    std::uint64_t value = 0;
};

#endif

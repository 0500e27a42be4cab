// Addresses read as numbers, and the forms they are written in, so that an
// address right in value but not in text can be told from a wrong one.
#ifndef LABELGRADE_ADDRESSES_H
#define LABELGRADE_ADDRESSES_H

#include <cstdint>
#include <string_view>

enum AddressForm : std::uint8_t { prefixed = 1, lowercase = 2, otherWidth = 4 };

// An address as a number in one base: its value, and how it was written.
struct ReadAddress {
    std::uint64_t value = 0;
    std::uint8_t forms = 0;     // prefixed and lowercase, as AddressForm bits
    std::uint32_t digits = 0;   // without the prefix
};

// Reads `text` in `base` (16 or 10): all of it digits of that base, after
// an optional 0x in base 16, at most 16 digits.
bool readAddress(std::string_view text, unsigned base, ReadAddress& read);

// The digits `value` takes in `base`, with no padding.
std::uint32_t digitsOf(std::uint64_t value, unsigned base);

// In how many digits `a` and `b` differ in `base`, counted up to `most`:
// a typo changes one.
std::uint32_t digitsDiffering(std::uint64_t a, std::uint64_t b, unsigned base, std::uint32_t most);

#endif

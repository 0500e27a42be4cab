// Addresses read as numbers, and the forms they are written in, so that an
// address right in value but not in text can be told from a wrong one.
#ifndef LABELGRADE_ADDRESSES_H
#define LABELGRADE_ADDRESSES_H

#include <array>
#include <cstdint>
#include <string_view>

// Each byte's value as a hexadecimal digit, in either case; -1 for any
// other byte.  Every wrong line's address is read digit by digit, so a
// digit is told at one look.
inline constexpr std::array<std::int8_t, 256> hexDigitValues = [] {
    std::array<std::int8_t, 256> digits{};
    digits.fill(-1);
    for (int c = 0; c < 10; ++c)
        digits['0' + c] = static_cast<std::int8_t>(c);
    for (int c = 0; c < 6; ++c) {
        digits['A' + c] = static_cast<std::int8_t>(10 + c);
        digits['a' + c] = static_cast<std::int8_t>(10 + c);
    }
    return digits;
}();

constexpr int hexDigitValue(char c)
{
    return hexDigitValues[static_cast<unsigned char>(c)];
}

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

// The hashes that tell wrong lines and fields apart, so that what students
// share is found by comparing numbers, not texts.
#ifndef LABELGRADE_HASHING_H
#define LABELGRADE_HASHING_H

#include <cstdint>
#include <string_view>

std::uint64_t hashText(std::string_view text);

// The text's hash with its ASCII letters in lower case.
std::uint64_t foldedHash(std::string_view text);

// One word stirred into a hash's state.
inline std::uint64_t mixWord(std::uint64_t state, std::uint64_t word)
{
    state = (state ^ word) * 0xFF51AFD7ED558CCDu;
    return state ^ (state >> 29);
}

// A hash of bytes told in pieces, that does not depend on where the pieces
// were cut: eight bytes at a time, the last few padded.
struct StreamHash {
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    std::uint64_t carry = 0;
    unsigned carried = 0;  // bytes in `carry`

    void add(std::string_view bytes);
    std::uint64_t finish(std::uint64_t size) const;
};

#endif

#include "class/model/hashing.h"

#include "class/model/ascii_case.h"

#include <algorithm>
#include <cstring>

std::uint64_t hashText(std::string_view text)
{
    // Eight bytes at a time: a class hashes millions of wrong lines.
    StreamHash hash;
    hash.add(text);
    return hash.finish(text.size());
}

void StreamHash::add(std::string_view bytes)
{
    while (carried != 0 && !bytes.empty()) {
        carry |= std::uint64_t{static_cast<unsigned char>(bytes[0])} << (8 * carried);
        bytes.remove_prefix(1);
        if (++carried == 8) {
            state = mixWord(state, carry);
            carry = 0;
            carried = 0;
        }
    }
    for (; bytes.size() >= 8; bytes.remove_prefix(8)) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data(), 8);
        state = mixWord(state, word);
    }
    for (char c : bytes)
        carry |= std::uint64_t{static_cast<unsigned char>(c)} << (8 * carried++);
}

std::uint64_t StreamHash::finish(std::uint64_t size) const
{
    return mixWord(mixWord(state, carry), size);
}

std::uint64_t foldedHash(std::string_view text)
{
    StreamHash hash;
    char folded[64];
    while (!text.empty()) {
        std::size_t size = std::min(text.size(), sizeof folded);
        std::transform(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(size), folded, lowerAscii);
        hash.add(std::string_view(folded, size));
        text.remove_prefix(size);
    }
    return hash.finish(0);
}

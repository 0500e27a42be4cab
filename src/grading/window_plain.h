// The window's plain kernel: a byte at a time.  Included by window.h only.
#ifndef LABELGRADE_WINDOW_PLAIN_H
#define LABELGRADE_WINDOW_PLAIN_H

#include "fields.h"

namespace plainWindow {

inline LineMasks lineMasks(const char* window)
{
    LineMasks masks;
    for (std::size_t at = 0; at < windowSize; ++at) {
        auto byte = static_cast<unsigned char>(window[at]);
        masks.newlines |= std::uint32_t{byte == '\n'} << at;
        masks.delimiters |= std::uint32_t{isDelimiter[byte]} << at;
    }
    return masks;
}

inline std::uint32_t sameBytes(const char* window, const char* other)
{
    std::uint32_t same = 0;
    for (std::size_t at = 0; at < windowSize; ++at)
        same |= std::uint32_t{window[at] == other[at]} << at;
    return same;
}

}  // namespace plainWindow

#endif

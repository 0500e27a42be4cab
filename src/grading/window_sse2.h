// The window's SSE2 kernel: 16 bytes per compare.  Included by window.h only.
#ifndef LABELGRADE_WINDOW_SSE2_H
#define LABELGRADE_WINDOW_SSE2_H

#include "fields.h"

#include <emmintrin.h>

namespace sse2Window {

inline std::uint32_t equalBytes(__m128i bytes, __m128i other)
{
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, other)));
}

inline __m128i load16(const char* bytes)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
}

inline LineMasks lineMasks(const char* window)
{
    LineMasks masks;
    for (std::size_t offset = 0; offset < windowSize; offset += 16) {
        __m128i bytes = load16(window + offset);
        std::uint32_t delimiters = 0;
        for (char delimiter : fieldDelimiters)
            delimiters |= equalBytes(bytes, _mm_set1_epi8(delimiter));
        masks.newlines |= equalBytes(bytes, _mm_set1_epi8('\n')) << offset;
        masks.delimiters |= delimiters << offset;
    }
    return masks;
}

inline std::uint32_t sameBytes(const char* window, const char* other)
{
    return equalBytes(load16(window), load16(other)) |
           equalBytes(load16(window + 16), load16(other + 16)) << 16;
}

}  // namespace sse2Window

#endif

// The 32-byte window: one look at 32 bytes of a file tells where its line
// ends, which bytes are delimiters, and which equal the other file's bytes.
// Bit i of each mask tells of byte i of the window.
//
// Two kernels give the same masks: SSE2 compares, and a plain loop that is
// compiled everywhere and held to the same answers.  The build picks one;
// LABELGRADE_PLAIN_WINDOW forces the plain loop.
#ifndef LABELGRADE_WINDOW_H
#define LABELGRADE_WINDOW_H

#include <cstddef>
#include <cstdint>

constexpr std::size_t windowSize = 32;

struct LineMasks {
    std::uint32_t newlines = 0;
    std::uint32_t delimiters = 0;
};

#include "window_plain.h"
#if defined(__SSE2__)
#include "window_sse2.h"
#endif

#if defined(__SSE2__) && !defined(LABELGRADE_PLAIN_WINDOW)
namespace window = sse2Window;
#else
namespace window = plainWindow;
#endif

#endif

// The output buffer that every report, gradebook, summary and page goes
// through: text is gathered in one buffer and leaves in one write per
// buffer, not one per line.
#ifndef LABELGRADE_OUTPUT_H
#define LABELGRADE_OUTPUT_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

constexpr std::size_t outputBufferSize = 64 * 1024;

// Where the text goes: the file `fd`, and the string `kept`, either or both,
// or nowhere.  A failed write is remembered, with its errno in `error`, and everything
// after it is dropped; flushOutput tells whether all went out.  With
// `showControls` set (a terminal reads the output), text that comes from
// the graded files shows its control bytes as visible escapes; `utf8` says
// whether the terminal reads UTF-8.
struct Output {
    int fd = -1;
    std::string* kept = nullptr;
    bool showControls = false;
    bool utf8 = true;
    bool failed = false;
    int error = 0;
    std::uint64_t flushed = 0;  // bytes sent on since the start
    std::size_t used = 0;
    char buffer[outputBufferSize];
};

// Whether text put to `out` goes nowhere, so that it need not be made.
inline bool discards(const Output& out)
{
    return out.fd < 0 && out.kept == nullptr;
}

// How many bytes have been put to `out` since it started.
inline std::uint64_t outputSize(const Output& out)
{
    return out.flushed + out.used;
}

// Starts `out` afresh on the file `fd` (and `kept`, emptied), keeping its
// settings.
void restartOutput(Output& out, int fd);

void flushAndPut(Output& out, std::string_view text);
bool flushOutput(Output& out);
void putNumber(Output& out, std::uint64_t number);
void putVisible(Output& out, std::string_view fileText);

inline void put(Output& out, std::string_view text)
{
    if (text.size() > outputBufferSize - out.used) {
        flushAndPut(out, text);
        return;
    }
    if (!text.empty())
        std::memcpy(out.buffer + out.used, text.data(), text.size());
    out.used += text.size();
}

inline void put(Output& out, char byte)
{
    if (out.used == outputBufferSize)
        flushOutput(out);
    out.buffer[out.used++] = byte;
}

// Text from a graded file: a line or a field of one.
inline void putFileText(Output& out, std::string_view text)
{
    if (out.showControls)
        putVisible(out, text);
    else
        put(out, text);
}

#endif

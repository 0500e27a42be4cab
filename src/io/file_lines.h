// Reading a file a buffer at a time, for the lines to be graded.  Files are
// read, never mapped: a file that shrinks while it is graded then simply
// ends sooner, where touching a mapping past its new end would kill the run
// with SIGBUS.
#ifndef LABELGRADE_FILE_LINES_H
#define LABELGRADE_FILE_LINES_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

// Big enough for a class's file in one read, small enough to stay in cache
// while a large file streams through it.
constexpr std::size_t readBufferSize = 128 * 1024;

struct FreeBytes {
    void operator()(char* bytes) const { std::free(bytes); }
};

// Kept by its owner from file to file; it grows only to hold a line longer
// than itself.  The fuzz target starts it small, to cut lines at every byte.
struct ReadBuffer {
    std::unique_ptr<char, FreeBytes> bytes;
    std::size_t capacity = 0;
    std::size_t firstCapacity = readBufferSize;
};

// A file being graded: `rest` holds what has been read and not yet graded,
// from the start of a line, and `final` says that the file ends where `rest`
// ends; otherwise more may be read, up to `unread` more bytes.  Bytes
// already in memory (a reference loaded once) have no file behind them.
struct FileLines {
    int fd = -1;
    ReadBuffer* buffer = nullptr;
    std::string_view rest;
    bool final = true;
    std::uint64_t unread = UINT64_MAX;
    int error = 0;  // why a read failed
};

inline FileLines linesOfFile(int fd, ReadBuffer& buffer, std::uint64_t readable = UINT64_MAX)
{
    return FileLines{fd, &buffer, {}, false, readable, 0};
}

inline FileLines linesOfText(std::string_view text)
{
    return FileLines{-1, nullptr, text, true, 0, 0};
}

enum class ReadStatus { read, readError, outOfMemory };

// Moves what is left to the front of the buffer and reads until the buffer
// is full or the file ends; a buffer that what is left fills is doubled.
ReadStatus readMore(FileLines& file);

#endif

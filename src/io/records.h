// Records passed between the run and a child that reads for it: a tag of
// one byte, numbers of eight bytes, texts as a number and their bytes.  A
// reader that meets a record cut short says so, and gives nothing more.
#ifndef LABELGRADE_RECORDS_H
#define LABELGRADE_RECORDS_H

#include <cstdint>
#include <string>
#include <string_view>

struct RecordWriter {
    int fd = -1;  // none: the records are only gathered in `pending`
    std::string pending;
    bool failed = false;

    void tag(char value) { pending += value; }
    void number(std::uint64_t value);
    // Written out as the records grow, so that a child's answer of many
    // megabytes is never held whole.
    void text(std::string_view bytes);
    // Writes out what is pending where it has reached `size` bytes.
    void flushPast(std::size_t size);
};

struct RecordReader {
    std::string_view rest;
    bool broken = false;

    // `atEnd` where nothing is left.
    char tag(char atEnd);
    std::uint64_t number();
    std::string_view text();
};

#endif

// A student's file's compared lines as the explaining reads them, kept
// until the file is graded, when causes that need the whole file can be
// decided.  A right line keeps nothing but that it was right; a wrong
// line keeps its fields as they read once a carriage return before the
// newline and a byte-order mark are taken off, since those are causes of
// their own that must not hide the others.
#ifndef LABELGRADE_KEPT_LINES_H
#define LABELGRADE_KEPT_LINES_H

#include "grading/fields.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Lines past the reference's end are kept too, as far as this many: where
// lines were added, they hold the reference's last lines.
constexpr std::size_t mostTailLines = 256;
// No symbol table comes near this many lines; a larger file is explained
// by its bytes alone, so that a worker's memory stays small whatever it is
// given.
constexpr std::size_t mostKeptLines = 100000;
// A field longer than this is kept cut, and then matches nothing: no
// reference field is near it.
constexpr std::size_t mostKeptFieldSize = 128;
// Nor near this much text in its wrong lines' fields.
constexpr std::size_t mostKeptText = 4 << 20;

struct KeptLine {
    std::uint32_t first = 0;  // where each field starts in the kept text, and its size
    std::uint32_t firstSize = 0;
    std::uint32_t second = 0;
    std::uint32_t secondSize = 0;
    std::uint64_t hash = 0;  // of both fields, whole
    bool right = false;
    bool crCosts = false;   // the line's carriage return sat in one of its fields
    bool bomCosts = false;  // so did the file's byte-order mark
    bool clipped = false;   // a field was longer than kept

    bool complete() const { return secondSize > 0; }
};

struct KeptLines {
    std::vector<KeptLine> lines;  // one per compared position, in order; then the tail's, once joined
    std::vector<KeptLine> tail;   // lines past the reference's end, in order
    std::size_t compared = 0;     // of `lines`, the compared positions
    bool wholeTail = true;        // every line past the reference's end is in `tail`
    std::string text;
    bool overflow = false;  // more lines than are kept: none are

    void clear();
    void addRight();
    // `line` is the student's line as graded, without its newline, and
    // `graded` its fields as grading split them.
    void addWrong(std::string_view line, const Symbol& graded, bool firstLine);
    void addWrong(std::string_view line, bool firstLine);
    void addTail(std::string_view line);
    // Puts the tail after the compared lines, once all are told.
    void joinTail();

    std::string_view first(const KeptLine& line) const { return std::string_view(text).substr(line.first, line.firstSize); }
    std::string_view second(const KeptLine& line) const
    {
        return std::string_view(text).substr(line.second, line.secondSize);
    }
    bool usable() const { return !overflow; }
};

// The fields as the explaining reads them: a byte-order mark taken off the
// first line, a carriage return off the end of any line.
struct NormalFields {
    std::string_view first;
    std::string_view second;
    bool crCosts = false;
    bool bomCosts = false;
};

NormalFields normalFields(std::string_view line, const Symbol& graded, bool firstLine);
NormalFields normalFields(std::string_view line, bool firstLine);

#endif

// The order of a student's lines against the reference's: lines left out,
// lines added, and lines printed out of place, each told where the slip
// itself is, with the wrong positions it explains.  A line out of place is
// not a line left out: the longest run of lines in the reference's order
// stays, and only what breaks it is an event.
#ifndef LABELGRADE_STRUCTURE_H
#define LABELGRADE_STRUCTURE_H

#include "class/explaining/alignment.h"
#include "class/explaining/kept_lines.h"

#include <cstdint>
#include <vector>

enum class EventKind : std::uint8_t { leftOut, added, moved };

struct LineEvent {
    EventKind kind = EventKind::leftOut;
    std::uint32_t line = 0;  // left out: the first reference line; added: the first position; moved: the reference line
    std::uint32_t size = 1;  // lines left out or added
    std::uint32_t after = noLine;   // moved: the reference line printed before it; noLine: it comes first
    std::uint32_t before = noLine;  // moved and first, or added: the reference line after it; noLine: none
    std::uint32_t from = noLine;    // left out or added: the first position it puts out of place
    std::uint64_t points = 0;       // wrong positions and line-count points it explains
    bool atEnd = false;             // left out: the reference's last lines, which put nothing out of place
};

struct Structure {
    std::vector<LineEvent> events;          // in the student's order
    std::vector<std::uint32_t> eventOf;     // per compared position: the event that put it out of place, or noLine
    std::vector<bool> added;                // per compared position: a line no reference line's, or a second copy
};

// Read from an alignment of enough lines (at least two, and half of those
// compared); otherwise no event is told.
Structure structureOf(const Alignment& alignment, const KeptLines& kept, std::uint64_t referenceLines,
                      std::uint64_t studentLines);

#endif

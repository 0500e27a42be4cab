// What the grading core decides of one compared position, once, for
// whoever listens: the report's printer and the class command's watcher.
#ifndef LABELGRADE_VERDICT_H
#define LABELGRADE_VERDICT_H

#include "fields.h"

#include <cstdint>
#include <string_view>

struct Verdict {
    std::uint64_t position = 0;  // from 0
    std::string_view studentLine;
    std::string_view referenceLine;
    // Both lines' fields, split wherever the verdict is not right: a line
    // that is the reference's to the byte needs no look at its fields.
    Symbol student;
    Symbol reference;
    bool same = false;               // the two lines are the same to the byte
    bool complete = false;           // the student's line holds an address and a label
    bool referenceComplete = false;  // so does the reference's
    bool addressRight = false;
    bool labelRight = false;
    // 32 bytes may be read from the start of the student's line, which lets
    // a printer copy it as one fixed block.
    bool windowed = false;

    bool right() const { return complete && referenceComplete && addressRight && labelRight; }
};

#endif

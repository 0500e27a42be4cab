// What explains a student's file's wrong lines, decided once the whole file
// is graded.  A cause is told only where it explains what nothing else
// does: a pattern (a letter case, a base, an offset, a form, a column
// order, labels cut short) at least two wrong lines, a line out of place or
// left out at least two points, and the told patterns and slips together
// most of the wrong lines that the bytes alone do not explain; a single
// wrong line is a wrong line, which the report shows.
#ifndef LABELGRADE_EXPLANATION_H
#define LABELGRADE_EXPLANATION_H

#include "class/model/diagnosis.h"
#include "grading/score.h"
#include "class/explaining/kept_lines.h"
#include "class/explaining/reference_index.h"

#include <cstdint>
#include <vector>

// A wrong line that no told cause explains: at the reference line it holds
// (`aligned`) or, where it holds none, at its own position.
struct UnexplainedLine {
    std::uint32_t line = 0;
    bool aligned = false;
    std::uint64_t hash = 0;  // of its fields, as KeptLine holds it
    std::uint32_t position = 0;  // in the kept lines
};

// A wrong line aligned to a reference line whose label it prints (in the
// case and cut the file writes labels) and whose address reads as a
// number: how far that address lies from the line's, in the base the
// file's addresses are read in.
struct LineReading {
    std::uint32_t position = 0;  // in the kept lines
    std::uint32_t line = 0;
    std::uint64_t offset = 0;  // modulo 2^64
};

struct Explanation {
    std::vector<Diagnosis> causes;  // in Cause order; what the bytes alone show is not among them
    std::vector<UnexplainedLine> unexplained;
    unsigned base = 16;  // the base the addresses are read in
    bool crCosts = false;   // a carriage return sat in a field of some line
    bool bomCosts = false;  // the byte-order mark did
};

// What the bytes tell, which a line's carriage return or byte-order mark is
// explained by only where it is told.
struct BytesTold {
    bool crlf = false;
    bool bom = false;
};

// With `readings`, fills them, by position, with the alignment's reading
// of each wrong line's address, so that what a file's addresses are is read
// once; the caller keeps them from file to file.
Explanation explainLines(const ReferenceIndex& reference, const KeptLines& kept, const LineCounts& counts,
                         BytesTold told, std::vector<LineReading>* readings = nullptr);

#endif

// Work on a student's bytes that may cost anything (a parser reading a
// header, a map or a name that the student sized) done in a child process
// with bounds of its own: memory, processor time and wall time, and how
// much of an answer is taken back.  Whatever the work meets, a bound ends
// the child and not the run, and a crash in a parser ends it alone.
//
// The child is forked, not started anew, so that it costs no more than the
// pages the kernel copies: the work runs in the copy of the caller's
// memory, reads what the descriptors it is given hold, and writes its
// answer to a pipe.  It must not write anything else: every other
// descriptor is closed in the child, and its standard output and error
// lead nowhere, so that a library that prints and exits (as libarchive
// does when memory runs out) cannot touch the run's own outputs.
#ifndef LABELGRADE_CONFINED_H
#define LABELGRADE_CONFINED_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ConfinedBounds {
    std::uint64_t memory = 0;   // bytes the child may map beyond what it starts with
    std::uint64_t answer = 0;   // bytes of answer taken back, at most
    int milliseconds = 0;       // wall time, then processor time rounded up to seconds
};

enum class ConfinedEnd {
    answered,     // the work ran to its end
    outOfMemory,  // its memory bound, or the memory the machine has, ran out
    outOfTime,
    tooLong,      // it answered more than the bound
    failed,       // it crashed, or exited without an answer
    notStarted,   // no child could be made: the grader's trouble, in `error`
};

struct Confined {
    ConfinedEnd end = ConfinedEnd::notStarted;
    std::string answer;  // what the child wrote, up to the bound
    int milliseconds = 0;
    int error = 0;
};

// The exit status of a child whose work met a bad_alloc or ENOMEM.  A
// library that gives up with exit(1) has run out of memory too.
constexpr int confinedOutOfMemory = 3;

// Runs `work` in a child that keeps open only the descriptors in `keep`
// (besides the answer's) and writes its answer to the descriptor it is
// given; the child's end is what the work returns: true when it answered
// whole.
Confined runConfined(const ConfinedBounds& bounds, const std::vector<int>& keep,
                     const std::function<bool(int answer)>& work);

#endif

// Work on a student's bytes that may cost anything (a parser reading a
// header, a map or a name that the student sized) done in a child process
// with bounds of its own: memory, wall time, and how much of an answer is
// taken back.  Whatever the work meets, a bound ends the child and not the
// run, and a crash in a parser ends it alone.
//
// Children are forked, not started anew, and each serves request after
// request until a bound ends it, since a fork is not cheap on every
// machine and a class may upload hundreds of archives.  A child keeps
// only its end of a socket; each request hands it the descriptor to read
// and a pipe for its answer, and its standard output and error lead
// nowhere, so that a library that prints and exits (as libarchive does
// when memory runs out) cannot touch the run's own outputs.
#ifndef LABELGRADE_CONFINED_H
#define LABELGRADE_CONFINED_H

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// What a child runs for each request: reads `request` and what `fd` holds,
// writes its answer to `answer`, and says whether it answered whole.
using ConfinedWork = bool (*)(std::string_view request, int fd, int answer);

struct ConfinedBounds {
    std::uint64_t answer = 0;  // bytes of answer taken back, at most
    int milliseconds = 0;      // wall time
};

enum class ConfinedEnd {
    answered,     // the work ran to its end
    outOfMemory,  // its memory bound, or the memory the machine has, ran out
    outOfTime,
    tooLong,      // it answered more than the bound
    failed,       // it crashed, or answered nothing whole
    notStarted,   // no child could be made or reached: the grader's trouble, in `error`
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

struct ConfinedChild {
    pid_t pid = -1;
    int control = -1;  // the parent's end of the child's socket
};

// The children that serve one kind of work, each one request at a time;
// shared by threads.  Each child's memory may grow by `memory` beyond what
// it was forked with.
struct ConfinedPool {
    ConfinedWork work = nullptr;
    std::uint64_t memory = 0;
    std::mutex lock;
    std::vector<ConfinedChild> idle;

    ConfinedPool(ConfinedWork work, std::uint64_t memory) : work(work), memory(memory) {}
    ConfinedPool(const ConfinedPool&) = delete;
    ConfinedPool& operator=(const ConfinedPool&) = delete;
    ~ConfinedPool();
};

// Has a child of `pool` run its work on `request` and the descriptor `fd`.
Confined askConfined(ConfinedPool& pool, std::string_view request, int fd, const ConfinedBounds& bounds);

#endif

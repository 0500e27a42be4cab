// The workers that grade a class side by side, and what they share besides
// their work: whether to stop, and why.  Each worker owns its buffers and
// its partial results; nothing else passes between them.
#ifndef LABELGRADE_WORKERS_H
#define LABELGRADE_WORKERS_H

#include "class/run/threads.h"

#include <atomic>
#include <cstdint>
#include <functional>

// The processors this run may use, which a container or taskset may make
// fewer than the machine has.
unsigned processorCount();

// Runs `work(worker)` for workers 0 to `jobs`-1, each on a thread of its
// own, and waits for all, drawing on a terminal (standard error) how many
// of `total` files are `done`.  A worker that throws stops the others with
// its reason.  Fewer workers than asked for run where not all can start;
// false, with the reason in `stop`, when none can.
bool runWorkers(unsigned jobs, const std::function<void(unsigned worker)>& work, StopSignal& stop,
                const std::atomic<std::uint64_t>& done, std::uint64_t total);

#endif

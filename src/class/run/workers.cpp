#include "class/run/workers.h"

#include "class/run/progress.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <sched.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr auto progressInterval = std::chrono::milliseconds(100);

struct Waiting {
    std::mutex mutex;
    std::condition_variable ended;
    unsigned left = 0;
};

// A worker's end, told however it ends.
struct Ending {
    Waiting& waiting;

    ~Ending()
    {
        std::lock_guard lock(waiting.mutex);
        --waiting.left;
        waiting.ended.notify_one();
    }
};

}  // namespace

unsigned processorCount()
{
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return static_cast<unsigned>(CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

bool runWorkers(unsigned jobs, const std::function<void(unsigned worker)>& work, StopSignal& stop,
                const std::atomic<std::uint64_t>& done, std::uint64_t total)
{
    Progress progress = startProgress(STDERR_FILENO);
    Waiting waiting;
    waiting.left = jobs;
    // Drawn once before any worker starts, so that a terminal always sees
    // the line, however soon the run ends.
    drawProgress(progress, 0, total);
    std::vector<std::jthread> threads;
    for (unsigned i = 0; i < jobs; ++i) {
        std::jthread thread;
        std::string why;
        if (!startThread(thread, stop,
                         [&work, &waiting, i] {
                             Ending ending{waiting};
                             work(i);
                         },
                         why)) {
            // Fewer workers than asked for grade the same class, the same way.
            std::lock_guard lock(waiting.mutex);
            waiting.left -= jobs - i;
            if (threads.empty()) {
                stop.stopWith("could not start a worker: " + why);
                return false;
            }
            break;
        }
        threads.push_back(std::move(thread));
    }
    {
        std::unique_lock lock(waiting.mutex);
        while (!waiting.ended.wait_for(lock, progressInterval, [&] { return waiting.left == 0; })) {
            lock.unlock();
            drawProgress(progress, done, total);
            lock.lock();
        }
    }
    for (std::jthread& thread : threads)
        thread.join();
    endProgress(progress);
    return true;
}

#include "class/run/workers.h"

#include "class/run/progress.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <new>
#include <sched.h>
#include <system_error>
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

void runOne(const std::function<void(unsigned)>& work, unsigned worker, StopSignal& stop, Waiting& waiting)
{
    try {
        work(worker);
    } catch (const std::bad_alloc&) {
        stop.stopWith("out of memory");
    } catch (const std::exception& trouble) {
        stop.stopWith(trouble.what());
    }
    std::lock_guard lock(waiting.mutex);
    --waiting.left;
    waiting.ended.notify_one();
}

}  // namespace

void StopSignal::stopWith(std::string reason)
{
    std::lock_guard lock(mutex_);
    if (reason_.empty())
        reason_ = std::move(reason);
    stopped = true;
}

std::string StopSignal::reason()
{
    std::lock_guard lock(mutex_);
    return reason_;
}

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
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < jobs; ++i) {
        try {
            threads.emplace_back(runOne, std::cref(work), i, std::ref(stop), std::ref(waiting));
        } catch (const std::system_error& trouble) {
            // Fewer workers than asked for grade the same class, the same way.
            std::lock_guard lock(waiting.mutex);
            waiting.left -= jobs - i;
            if (threads.empty()) {
                stop.stopWith(std::string("could not start a worker: ") + trouble.what());
                return false;
            }
            break;
        }
    }
    {
        std::unique_lock lock(waiting.mutex);
        while (!waiting.ended.wait_for(lock, progressInterval, [&] { return waiting.left == 0; })) {
            lock.unlock();
            drawProgress(progress, done, total);
            lock.lock();
        }
    }
    for (std::thread& thread : threads)
        thread.join();
    endProgress(progress);
    return true;
}

// Every thread of a run starts here, and whatever it throws (memory that
// runs out, any other failure) stops the run with its reason: the run then
// ends telling it, with its status, and never by std::terminate.
#ifndef LABELGRADE_THREADS_H
#define LABELGRADE_THREADS_H

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

// Whether the run is to stop, and why, shared by all its threads.
struct StopSignal {
    std::atomic<bool> stopped{false};

    // The first reason given is kept.
    void stopWith(std::string_view reason) noexcept;
    std::string reason();

private:
    std::mutex mutex_;
    std::string reason_;
};

// Runs `work` where it is, turning whatever it throws into `stop`.
void runStopping(StopSignal& stop, const std::function<void()>& work) noexcept;

// Starts `work` on a thread of its own, as runStopping runs it; the thread
// is joined wherever it is let go, so that a failure on the thread that
// started it never leaves it running unjoined, which would end the process.
// False, with why in `why`, when no thread can start (too many threads, no
// memory): `work` then has not run.
bool startThread(std::jthread& thread, StopSignal& stop, std::function<void()> work, std::string& why);

#endif

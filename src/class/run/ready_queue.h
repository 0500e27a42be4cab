#ifndef LABELGRADE_READY_QUEUE_H
#define LABELGRADE_READY_QUEUE_H

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

// The students whose files an archive's second pass has read, for the
// workers to grade in turn; held to a few at a time, so that what is read
// ahead of grading stays small.
struct ReadyQueue {
    static constexpr std::size_t mostWaiting = 64;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::size_t> ready;
    bool finished = false;   // no student will come
    bool abandoned = false;  // no worker takes any more

    void push(std::size_t student)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return ready.size() < mostWaiting || abandoned; });
        ready.push_back(student);
        changed.notify_all();
    }
    void abandon()
    {
        std::lock_guard lock(mutex);
        abandoned = true;
        changed.notify_all();
    }
    void finish()
    {
        std::lock_guard lock(mutex);
        finished = true;
        changed.notify_all();
    }
    // The next student; false once all are taken.
    bool pop(std::size_t& student)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return !ready.empty() || finished; });
        if (ready.empty())
            return false;
        student = ready.front();
        ready.pop_front();
        changed.notify_all();
        return true;
    }
};

#endif

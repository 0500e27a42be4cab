#include "class/run/threads.h"

#include <exception>
#include <new>
#include <system_error>

namespace {

// Short enough to need no memory of its own, when memory is what ran out.
constexpr std::string_view outOfMemory = "out of memory";
constexpr std::string_view unknownFailure = "stopped by a failure of unknown kind";

}  // namespace

void StopSignal::stopWith(std::string_view reason) noexcept
{
    {
        std::lock_guard lock(mutex_);
        if (reason_.empty()) {
            try {
                reason_ = reason;
            } catch (const std::bad_alloc&) {
                reason_ = outOfMemory;
            }
        }
    }
    stopped = true;
}

std::string StopSignal::reason()
{
    std::lock_guard lock(mutex_);
    return reason_;
}

void runStopping(StopSignal& stop, const std::function<void()>& work) noexcept
{
    try {
        work();
    } catch (const std::bad_alloc&) {
        stop.stopWith(outOfMemory);
    } catch (const std::exception& failure) {
        stop.stopWith(failure.what());
    } catch (...) {
        stop.stopWith(unknownFailure);
    }
}

bool startThread(std::jthread& thread, StopSignal& stop, std::function<void()> work, std::string& why)
{
    try {
        thread = std::jthread([&stop, work = std::move(work)] { runStopping(stop, work); });
        return true;
    } catch (const std::system_error& failure) {
        why = failure.what();
    } catch (const std::bad_alloc&) {
        why = outOfMemory;
    }
    return false;
}

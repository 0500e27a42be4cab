#include "io/confined.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <new>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// A sanitizer maps terabytes of shadow memory: there, the address space
// cannot bound the child, and its work is bounded by the rest alone.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define LABELGRADE_ADDRESS_SPACE_SHARED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define LABELGRADE_ADDRESS_SPACE_SHARED 1
#endif
#endif

namespace {

constexpr int failedWork = 4;
constexpr std::size_t pieceSize = 64 * 1024;

// The child's address space as it starts: its bound is counted from there,
// since it holds a copy of all the run has mapped.
std::uint64_t mappedNow()
{
    int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char text[64] = {};
    ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    std::uint64_t pages = 0;
    for (ssize_t i = 0; i < got && text[i] >= '0' && text[i] <= '9'; ++i)
        pages = pages * 10 + static_cast<std::uint64_t>(text[i] - '0');
    return pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

void setBound(int resource, rlim_t soft, rlim_t hard)
{
    rlimit bound{soft, hard};
    setrlimit(resource, &bound);
}

// Closes every descriptor of the child but those it keeps: another child's
// pipe left open here would keep that child's reader from its end.
void closeAllBut(std::vector<int> keep)
{
    keep.push_back(STDIN_FILENO);
    keep.push_back(STDOUT_FILENO);
    keep.push_back(STDERR_FILENO);
    std::sort(keep.begin(), keep.end());
    unsigned from = 0;
    for (int fd : keep) {
        if (fd < 0)
            continue;
        if (static_cast<unsigned>(fd) > from)
            close_range(from, static_cast<unsigned>(fd) - 1, 0);
        from = static_cast<unsigned>(fd) + 1;
    }
    close_range(from, UINT_MAX, 0);
}

[[noreturn]] void runChild(const ConfinedBounds& bounds, std::vector<int> keep, int answer,
                           const std::function<bool(int)>& work)
{
    int nowhere = open("/dev/null", O_RDWR);
    if (nowhere >= 0) {
        dup2(nowhere, STDOUT_FILENO);
        dup2(nowhere, STDERR_FILENO);
        if (nowhere > STDERR_FILENO)
            close(nowhere);
    }
    keep.push_back(answer);
    closeAllBut(std::move(keep));
    setBound(RLIMIT_CORE, 0, 0);
    rlim_t seconds = static_cast<rlim_t>((bounds.milliseconds + 999) / 1000);
    setBound(RLIMIT_CPU, seconds, seconds + 1);
#ifndef LABELGRADE_ADDRESS_SPACE_SHARED
    rlim_t mapped = static_cast<rlim_t>(mappedNow() + bounds.memory);
    setBound(RLIMIT_AS, mapped, mapped);
#endif
    signal(SIGXCPU, SIG_DFL);
    int status = failedWork;
    try {
        status = work(answer) ? 0 : failedWork;
    } catch (const std::bad_alloc&) {
        status = confinedOutOfMemory;
    } catch (...) {
        status = failedWork;
    }
    _exit(status);
}

int elapsedSince(std::chrono::steady_clock::time_point start)
{
    auto spent = std::chrono::steady_clock::now() - start;
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(spent).count());
}

// Reads the child's answer until it ends, passes the bound, or time runs
// out; the end it met, or answered where the child must be waited for.
ConfinedEnd takeAnswer(int from, const ConfinedBounds& bounds, std::chrono::steady_clock::time_point start,
                       std::string& answer)
{
    std::string piece(pieceSize, '\0');
    for (;;) {
        int left = bounds.milliseconds - elapsedSince(start);
        if (left <= 0)
            return ConfinedEnd::outOfTime;
        pollfd waiting{from, POLLIN, 0};
        int ready = poll(&waiting, 1, left);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            return ConfinedEnd::outOfTime;
        ssize_t got = read(from, piece.data(), piece.size());
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0)
            return ConfinedEnd::answered;
        if (answer.size() + static_cast<std::size_t>(got) > bounds.answer)
            return ConfinedEnd::tooLong;
        answer.append(piece.data(), static_cast<std::size_t>(got));
    }
}

ConfinedEnd endOf(int status)
{
    if (WIFEXITED(status)) {
        int code = WEXITSTATUS(status);
        if (code == 0)
            return ConfinedEnd::answered;
        return code == confinedOutOfMemory || code == 1 ? ConfinedEnd::outOfMemory : ConfinedEnd::failed;
    }
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU)
        return ConfinedEnd::outOfTime;
    // Killed by the kernel for want of memory, or it crashed.
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL ? ConfinedEnd::outOfMemory : ConfinedEnd::failed;
}

}  // namespace

Confined runConfined(const ConfinedBounds& bounds, const std::vector<int>& keep,
                     const std::function<bool(int answer)>& work)
{
    Confined result;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        result.error = errno;
        return result;
    }
    auto start = std::chrono::steady_clock::now();
    pid_t child = fork();
    if (child < 0) {
        result.error = errno;
        close(ends[0]);
        close(ends[1]);
        return result;
    }
    if (child == 0)
        runChild(bounds, keep, ends[1], work);
    close(ends[1]);
    ConfinedEnd met = takeAnswer(ends[0], bounds, start, result.answer);
    close(ends[0]);
    if (met != ConfinedEnd::answered)
        kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    result.end = met == ConfinedEnd::answered ? endOf(status) : met;
    result.milliseconds = elapsedSince(start);
    return result;
}

#include "io/confined.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <poll.h>
#include <sys/resource.h>
#include <sys/mman.h>
#include <sys/socket.h>
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

using Clock = std::chrono::steady_clock;

int elapsedSince(Clock::time_point start)
{
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

#ifndef LABELGRADE_ADDRESS_SPACE_SHARED
constexpr int failedWork = 4;
constexpr std::size_t pieceSize = 64 * 1024;
// A request's descriptors: what to read, and where to answer.
constexpr int passedDescriptors = 2;

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

void setBound(int resource, rlim_t bound)
{
    rlimit limit{bound, bound};
    setrlimit(resource, &limit);
}

// Closes every descriptor of the child but its socket and standard ones:
// another child's pipe left open here would keep its reader from its end.
void closeAllBut(int kept)
{
    if (kept > STDERR_FILENO + 1)
        close_range(STDERR_FILENO + 1, static_cast<unsigned>(kept) - 1, 0);
    close_range(static_cast<unsigned>(kept) + 1, UINT_MAX, 0);
}

bool readFully(int fd, char* into, std::size_t size)
{
    while (size > 0) {
        ssize_t got = read(fd, into, size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        into += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

// A request's first part: its size, and room for the descriptors that
// come with it.
struct RequestHead {
    std::uint64_t size = 0;
    alignas(cmsghdr) char room[CMSG_SPACE(sizeof(int) * passedDescriptors)] = {};
    iovec part{&size, sizeof size};
    msghdr message{};

    RequestHead()
    {
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = room;
        message.msg_controllen = sizeof room;
    }
    RequestHead(const RequestHead&) = delete;
    RequestHead& operator=(const RequestHead&) = delete;
};

// Takes the next request off the socket: its size, its bytes and its two
// descriptors, which come with its first byte.  False at the socket's end.
bool takeRequest(int control, std::string& request, int (&fds)[passedDescriptors])
{
    RequestHead head;
    std::uint64_t& size = head.size;
    msghdr& message = head.message;
    ssize_t got;
    do
        got = recvmsg(control, &message, MSG_CMSG_CLOEXEC);
    while (got < 0 && errno == EINTR);
    cmsghdr* passed = CMSG_FIRSTHDR(&message);
    if (got <= 0 || passed == nullptr || passed->cmsg_type != SCM_RIGHTS)
        return false;
    std::memcpy(fds, CMSG_DATA(passed), sizeof fds);
    if (static_cast<std::size_t>(got) < sizeof size &&
        !readFully(control, reinterpret_cast<char*>(&size) + got, sizeof size - static_cast<std::size_t>(got)))
        return false;
    request.resize(static_cast<std::size_t>(size));
    return readFully(control, request.data(), request.size());
}

[[noreturn]] void serve(ConfinedWork work, std::uint64_t memory, int control)
{
    int nowhere = open("/dev/null", O_RDWR);
    if (nowhere >= 0) {
        dup2(nowhere, STDOUT_FILENO);
        dup2(nowhere, STDERR_FILENO);
        if (nowhere > STDERR_FILENO)
            close(nowhere);
    }
    closeAllBut(control);
    setBound(RLIMIT_CORE, 0);
    setBound(RLIMIT_AS, static_cast<rlim_t>(mappedNow() + memory));
    std::string request;
    for (int fds[passedDescriptors]; takeRequest(control, request, fds);) {
        char answered = 0;
        try {
            answered = work(request, fds[0], fds[1]) ? 1 : 0;
        } catch (const std::bad_alloc&) {
            _exit(confinedOutOfMemory);
        } catch (...) {
            _exit(failedWork);
        }
        close(fds[0]);
        close(fds[1]);
        if (send(control, &answered, 1, MSG_NOSIGNAL) != 1)
            break;
    }
    _exit(0);
}

// A new child, serving `pool`'s work; pid -1 with errno set where none
// could be made.
ConfinedChild startChild(const ConfinedPool& pool)
{
    ConfinedChild child;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return child;
    child.pid = fork();
    if (child.pid == 0)
        serve(pool.work, pool.memory, ends[1]);
    close(ends[1]);
    if (child.pid < 0) {
        int error = errno;
        close(ends[0]);
        errno = error;
        return child;
    }
    child.control = ends[0];
    return child;
}

#endif

ConfinedEnd endOf(int status)
{
    if (WIFEXITED(status)) {
        int code = WEXITSTATUS(status);
        return code == confinedOutOfMemory || code == 1 ? ConfinedEnd::outOfMemory : ConfinedEnd::failed;
    }
    // Killed by the kernel for want of memory, or it crashed.
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL ? ConfinedEnd::outOfMemory : ConfinedEnd::failed;
}

// Ends a child for good, killed first where it may still run; how it ended.
ConfinedEnd endChild(ConfinedChild& child, bool kill)
{
    if (kill)
        ::kill(child.pid, SIGKILL);
    close(child.control);
    int status = 0;
    while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
    return endOf(status);
}

#ifndef LABELGRADE_ADDRESS_SPACE_SHARED
// Waits for `fd` to be readable within the time left; false when it runs out.
bool readableInTime(int fd, const ConfinedBounds& bounds, Clock::time_point start)
{
    for (;;) {
        int left = bounds.milliseconds - elapsedSince(start);
        if (left <= 0)
            return false;
        pollfd waiting{fd, POLLIN, 0};
        int ready = poll(&waiting, 1, left);
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

// Reads the answer until its pipe ends, it passes the bound, or time runs
// out: answered where it ended.
ConfinedEnd takeAnswer(int from, const ConfinedBounds& bounds, Clock::time_point start, std::string& answer)
{
    std::string piece(pieceSize, '\0');
    for (;;) {
        if (!readableInTime(from, bounds, start))
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

bool sendRequest(const ConfinedChild& child, std::string_view request, int fd, int answer)
{
    RequestHead head;
    head.size = request.size();
    msghdr& message = head.message;
    cmsghdr* passed = CMSG_FIRSTHDR(&message);
    passed->cmsg_level = SOL_SOCKET;
    passed->cmsg_type = SCM_RIGHTS;
    passed->cmsg_len = CMSG_LEN(sizeof(int) * passedDescriptors);
    int fds[passedDescriptors] = {fd, answer};
    std::memcpy(CMSG_DATA(passed), fds, sizeof fds);
    if (sendmsg(child.control, &message, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof head.size))
        return false;
    while (!request.empty()) {
        ssize_t put = send(child.control, request.data(), request.size(), MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        request.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

// An idle child of the pool, or a new one.
ConfinedChild takeChild(ConfinedPool& pool)
{
    {
        std::lock_guard<std::mutex> held(pool.lock);
        if (!pool.idle.empty()) {
            ConfinedChild child = pool.idle.back();
            pool.idle.pop_back();
            return child;
        }
    }
    return startChild(pool);
}

void giveBack(ConfinedPool& pool, ConfinedChild child)
{
    std::lock_guard<std::mutex> held(pool.lock);
    pool.idle.push_back(child);
}

// What the child says of its work once the answer's pipe has ended: it
// answered whole, it did not, or it is gone, and how it went.
ConfinedEnd childSays(ConfinedPool& pool, ConfinedChild& child, const ConfinedBounds& bounds, Clock::time_point start)
{
    char answered = 0;
    if (readableInTime(child.control, bounds, start) && read(child.control, &answered, 1) == 1) {
        giveBack(pool, child);
        return answered == 1 ? ConfinedEnd::answered : ConfinedEnd::failed;
    }
    return endChild(child, true);
}
#endif

}  // namespace

ConfinedPool::~ConfinedPool()
{
    // A child at its socket's end leaves.
    for (ConfinedChild& child : idle)
        endChild(child, false);
}

#ifdef LABELGRADE_ADDRESS_SPACE_SHARED
// A sanitizer's allocator cannot be forked from while other threads
// allocate (a child may wait for ever on a lock no thread of it holds):
// there, the work runs in the run itself, unbounded, so that the tests
// still check what it answers.
Confined askConfined(ConfinedPool& pool, std::string_view request, int fd, const ConfinedBounds& bounds)
{
    Confined result;
    auto start = Clock::now();
    int answer = memfd_create("answer", MFD_CLOEXEC);
    if (answer < 0) {
        result.error = errno;
        return result;
    }
    bool answered = pool.work(request, fd, answer);
    off_t size = lseek(answer, 0, SEEK_CUR);
    result.answer.resize(static_cast<std::size_t>(std::max<off_t>(size, 0)));
    bool read = pread(answer, result.answer.data(), result.answer.size(), 0) == static_cast<ssize_t>(result.answer.size());
    close(answer);
    result.end = !answered || !read ? ConfinedEnd::failed
                 : result.answer.size() > bounds.answer ? ConfinedEnd::tooLong
                                                        : ConfinedEnd::answered;
    result.milliseconds = elapsedSince(start);
    return result;
}
#else
Confined askConfined(ConfinedPool& pool, std::string_view request, int fd, const ConfinedBounds& bounds)
{
    Confined result;
    auto start = Clock::now();
    // A child that waited may have been ended meanwhile: a new one is
    // asked once more.
    for (int attempt = 0; attempt < 2; ++attempt) {
        ConfinedChild child = takeChild(pool);
        int answer[2];
        if (child.pid < 0 || pipe2(answer, O_CLOEXEC) != 0) {
            result.error = errno;
            if (child.pid >= 0)
                giveBack(pool, child);
            break;
        }
        bool sent = sendRequest(child, request, fd, answer[1]);
        close(answer[1]);
        ConfinedEnd met = sent ? takeAnswer(answer[0], bounds, start, result.answer) : ConfinedEnd::failed;
        close(answer[0]);
        if (!sent) {
            endChild(child, true);
            result.error = EPIPE;
            continue;
        }
        if (met == ConfinedEnd::answered) {
            result.end = childSays(pool, child, bounds, start);
        }
        else {
            endChild(child, true);
            result.end = met;
        }
        result.error = 0;
        break;
    }
    result.milliseconds = elapsedSince(start);
    return result;
}
#endif

#include "io/confined.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

// The sanitizers' shadow memory leaves the child's address space unbounded,
// and their leak check would judge a child's exit.
#if defined(__SANITIZE_ADDRESS__)
#define ADDRESS_SPACE_SHARED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ADDRESS_SPACE_SHARED 1
#endif
#endif

namespace {

constexpr ConfinedBounds roomy{1 << 20, 10'000};

bool say(int answer, std::string_view text)
{
    return write(answer, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

// Does what the request says, so that one pool's children can be tried
// every way a reader can end.
bool act(std::string_view request, int fd, int answer)
{
    if (request == "large")
        return say(answer, std::string(300'000, 'x'));
    if (request == "fail")
        return false;
    if (request == "crash")
        std::abort();
    if (request == "exit") {
        // A library that prints and gives up, as libarchive does without memory.
        std::puts("Fatal Internal Error");
#ifdef ADDRESS_SPACE_SHARED
        std::fflush(stdout);
        _exit(1);
#else
        std::exit(1);
#endif
    }
    if (request == "sleep")
        sleep(5);
    if (request == "greedy") {
        // Past what an arena of the run may hold reserved and unused.
        std::vector<std::string> held;
        for (int i = 0; i < 256; ++i)
            held.emplace_back(1 << 20, 'z');
    }
    if (request == "descriptors") {
        // What came with the request is open; what the run holds is not.
        char first = 0;
        bool read = pread(fd, &first, 1, 0) == 1;
        std::printf("nothing of this reaches the run's output\n");
        std::fflush(stdout);
        return say(answer, std::string(read ? "read " : "unread ") + (fcntl(3, F_GETFD) < 0 ? "3 closed" : "3 open"));
    }
    return say(answer, "pid " + std::to_string(getpid()));
}

}  // namespace

TEST(Confined, ChildrenServeRequestAfterRequestAndAnswersComeBackWhole)
{
    ConfinedPool pool(act, 16 << 20);
    Confined first = askConfined(pool, "pid", STDIN_FILENO, roomy);
    Confined second = askConfined(pool, "pid", STDIN_FILENO, roomy);
    EXPECT_EQ(first.end, ConfinedEnd::answered);
    EXPECT_EQ(first.answer, second.answer) << "one child serves both";
    // More than a pipe holds at once: the parent reads while the child writes.
    Confined large = askConfined(pool, "large", STDIN_FILENO, roomy);
    EXPECT_EQ(large.end, ConfinedEnd::answered);
    EXPECT_EQ(large.answer.size(), 300'000u);
}

// Under the sanitizers the work runs in the test itself: only what it
// answers is checked there.
#ifndef ADDRESS_SPACE_SHARED
TEST(Confined, EachBoundEndsTheChildAloneAndTheNextRequestGetsANewOne)
{
    ConfinedPool pool(act, 16 << 20);
    std::string before = askConfined(pool, "pid", STDIN_FILENO, roomy).answer;
    EXPECT_EQ(askConfined(pool, "fail", STDIN_FILENO, roomy).end, ConfinedEnd::failed);
    EXPECT_EQ(askConfined(pool, "pid", STDIN_FILENO, roomy).answer, before) << "a failed request ends no child";
    EXPECT_EQ(askConfined(pool, "crash", STDIN_FILENO, roomy).end, ConfinedEnd::failed);
    EXPECT_EQ(askConfined(pool, "exit", STDIN_FILENO, roomy).end, ConfinedEnd::outOfMemory);
    Confined slow = askConfined(pool, "sleep", STDIN_FILENO, ConfinedBounds{1024, 200});
    EXPECT_EQ(slow.end, ConfinedEnd::outOfTime);
    EXPECT_LT(slow.milliseconds, 2'000);
    EXPECT_EQ(askConfined(pool, "large", STDIN_FILENO, ConfinedBounds{1000, 10'000}).end, ConfinedEnd::tooLong);
    Confined after = askConfined(pool, "pid", STDIN_FILENO, roomy);
    EXPECT_EQ(after.end, ConfinedEnd::answered);
    EXPECT_NE(after.answer, before);
}

TEST(Confined, MemoryIsBoundedBeyondWhatTheRunHolds)
{
    ConfinedPool pool(act, 16 << 20);
    EXPECT_EQ(askConfined(pool, "greedy", STDIN_FILENO, roomy).end, ConfinedEnd::outOfMemory);
}

TEST(Confined, TheChildReadsWhatItIsHandedAndNothingTheRunHolds)
{
    int held = open("/dev/null", O_RDONLY);  // likely 3 in the run, in any case open there
    ConfinedPool pool(act, 16 << 20);
    int handed = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
    Confined run = askConfined(pool, "descriptors", handed, roomy);
    EXPECT_EQ(run.answer, held == 3 ? "read 3 closed" : run.answer);
    EXPECT_EQ(run.answer.substr(0, 5), "read ");
    close(handed);
    close(held);
}
#endif

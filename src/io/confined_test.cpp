#include "io/confined.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr ConfinedBounds roomy{64 << 20, 1 << 20, 10'000};

bool say(int answer, const std::string& text)
{
    return write(answer, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

}  // namespace

TEST(Confined, AnswersComeBackWhole)
{
    // More than a pipe holds at once: the parent reads while the child writes.
    std::string large(300'000, 'x');
    Confined run = runConfined(roomy, {}, [&](int answer) { return say(answer, large); });
    EXPECT_EQ(run.end, ConfinedEnd::answered);
    EXPECT_EQ(run.answer, large);
}

TEST(Confined, EachBoundEndsTheChildAlone)
{
    Confined failed = runConfined(roomy, {}, [](int) { return false; });
    EXPECT_EQ(failed.end, ConfinedEnd::failed);

    Confined crashed = runConfined(roomy, {}, [](int) {
        std::raise(SIGSEGV);
        return true;
    });
    EXPECT_EQ(crashed.end, ConfinedEnd::failed);

    // A library that prints and exits, as libarchive does without memory.
    Confined exited = runConfined(roomy, {}, [](int) -> bool {
        std::fputs("Fatal Internal Error\n", stdout);
        std::exit(1);
    });
    EXPECT_EQ(exited.end, ConfinedEnd::outOfMemory);

    Confined slow = runConfined(ConfinedBounds{64 << 20, 1024, 200}, {}, [](int) {
        sleep(5);
        return true;
    });
    EXPECT_EQ(slow.end, ConfinedEnd::outOfTime);
    EXPECT_LT(slow.milliseconds, 2'000);

    Confined talkative = runConfined(ConfinedBounds{64 << 20, 1000, 10'000}, {},
                                     [](int answer) { return say(answer, std::string(5000, 'y')); });
    EXPECT_EQ(talkative.end, ConfinedEnd::tooLong);
}

// The sanitizers' shadow memory leaves the child's address space unbounded.
#if defined(__SANITIZE_ADDRESS__)
#define ADDRESS_SPACE_SHARED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ADDRESS_SPACE_SHARED 1
#endif
#endif

#ifndef ADDRESS_SPACE_SHARED
TEST(Confined, MemoryIsBoundedBeyondWhatTheRunHolds)
{
    Confined greedy = runConfined(ConfinedBounds{16 << 20, 1024, 10'000}, {}, [](int answer) {
        std::vector<std::string> held;
        for (int i = 0; i < 64; ++i)
            held.emplace_back(1 << 20, 'z');
        return say(answer, "held");
    });
    EXPECT_EQ(greedy.end, ConfinedEnd::outOfMemory);
}
#endif

TEST(Confined, TheChildTouchesNoDescriptorButThoseItKeeps)
{
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    int kept = open("/dev/null", O_RDONLY | O_CLOEXEC);
    Confined run = runConfined(roomy, {kept}, [&](int answer) {
        // The other pipe's end is closed here, so its reader still sees its
        // end when this child lives on; what the child prints goes nowhere.
        bool closed = fcntl(ends[1], F_GETFD) < 0;
        bool open = fcntl(kept, F_GETFD) >= 0;
        std::printf("nothing of this reaches the run's output\n");
        std::fflush(stdout);
        return say(answer, std::string(closed ? "closed" : "open") + (open ? " kept" : " lost"));
    });
    EXPECT_EQ(run.answer, "closed kept");
    close(ends[0]);
    close(ends[1]);
    close(kept);
}

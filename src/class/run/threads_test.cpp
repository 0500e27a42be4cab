#include "class/run/threads.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>

namespace {

// Whatever a thread throws stops the run with its reason, and the run goes
// on to end itself: never std::terminate.
std::string reasonOfThrowing(const std::function<void()>& work)
{
    StopSignal stop;
    std::string why;
    {
        std::jthread thread;
        EXPECT_TRUE(startThread(thread, stop, work, why)) << why;
    }
    return stop.stopped ? stop.reason() : "not stopped";
}

TEST(Threads, WhatAThreadThrowsStopsTheRunWithItsReason)
{
    EXPECT_EQ(reasonOfThrowing([] { throw std::bad_alloc(); }), "out of memory");
    EXPECT_EQ(reasonOfThrowing([] { throw std::runtime_error("could not read the download"); }),
              "could not read the download");
    EXPECT_EQ(reasonOfThrowing([] { throw 42; }), "stopped by a failure of unknown kind");
    EXPECT_EQ(reasonOfThrowing([] {}), "not stopped");
}

TEST(Threads, TheFirstReasonIsKept)
{
    StopSignal stop;
    runStopping(stop, [] { throw std::runtime_error("first"); });
    runStopping(stop, [] { throw std::bad_alloc(); });
    stop.stopWith("third");
    EXPECT_TRUE(stop.stopped);
    EXPECT_EQ(stop.reason(), "first");
}

}  // namespace

// The worker's own clock and thread on real time: a wait lasts its time and a
// stop ends it at once; a stop wakes a waiting worker, and a stuck one is
// reported and left asked to stop.
#include "monitor/lamp_thread.h"

#ifdef __linux__
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "fakes/lamp_rig.h"
#include "support/files.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

TEST(SteadyLampClock, WaitsItsTimeUntilAStopEndsTheWaitAtOnce) {
    std::atomic<int> stop{0};
    SteadyLampClock clock(stop);
    const auto start = steady_clock::now();
    clock.Wake();  // a wake without a request changes nothing
    clock.Sleep(60);
    EXPECT_GE(steady_clock::now() - start, milliseconds(60));

    std::atomic<bool> woke{false};
    std::atomic<int> sleeperId{0};
    std::thread sleeper([&] {
#ifdef __linux__
        sleeperId = static_cast<int>(gettid());
#endif
        clock.Sleep(600'000);
        woke = true;
    });
#ifdef __linux__
    // Asleep in the kernel, so that only the wake can end the wait.
    ASSERT_TRUE(testsupport::WaitFor([&] {
        const std::string stat =
            testsupport::ReadFile("/proc/self/task/" + std::to_string(sleeperId.load()) + "/stat");
        return sleeperId != 0 && stat.find(") S ") != std::string::npos;
    }));
#endif
    stop = 1;
    clock.Wake();
    EXPECT_TRUE(testsupport::WaitFor([&] { return woke.load(); }))
        << "the stop did not end the wait";
    sleeper.join();
    clock.Sleep(600'000);  // a request already made ends the next wait too
}

// A poll that blocks while the test holds it.
struct HeldTraffic final : TrafficSource {
    bool Query(std::uint32_t& received, std::uint32_t& sent) override {
        received = sent = 0;
        ++polls;
        held.wait(true);
        return true;
    }
    std::atomic<int> polls{0};
    std::atomic<bool> held{false};
};

TEST(LampThread, StopWakesAWaitingWorkerAndAStuckPollIsReported) {
    fakes::LampRig rig;
    HeldTraffic traffic;
    SteadyLampClock clock{rig.stop};
    LampLoop loop{rig.settings, rig.port, rig.fake, traffic, clock, rig.stop};
    StartLampThread(loop);
    ASSERT_TRUE(testsupport::WaitFor([&] { return traffic.polls >= 2; }));  // in a wait
    EXPECT_TRUE(StopLampThread(loop, 3000));
    EXPECT_EQ(rig.stop.load(), 0);
    EXPECT_TRUE(StopLampThread(loop, 3000)) << "a second stop finds nothing to stop";

    traffic.held = true;
    const int polls = traffic.polls;
    std::thread stuck([&loop] { RunLampLoop(loop); });
    ASSERT_TRUE(testsupport::WaitFor([&] { return traffic.polls > polls; }));
    EXPECT_FALSE(RequestLampLoopStop(loop, 50));
    // Unacknowledged, the request stays, so that the worker leaves once its poll returns.
    EXPECT_EQ(rig.stop.load(), 1);
    traffic.held = false;
    traffic.held.notify_all();
    stuck.join();
    EXPECT_EQ(rig.stop.load(), 0);
}

}  // namespace

// The worker's thread on real time: a stop ends a waiting worker, and a stuck
// one is left behind after the stop's time limit, still asked to stop.
#include "monitor/lamp_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "fakes/lamp_rig.h"
#include "support/files.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// A poll that blocks while the test holds it.
struct HeldTraffic final : TrafficSource {
    bool Query(std::uint32_t& received, std::uint32_t& sent) override {
        received = sent = 0;
        ++polls;
        // Sleeps hold no lock, so that a worker ended by force leaves none taken.
        while (held) {
            std::this_thread::sleep_for(milliseconds(1));
        }
        return true;
    }
    std::atomic<int> polls{0};
    std::atomic<bool> held{false};
};

// The program's own stop: a waiting worker is woken, and one stuck in its poll
// is left behind after the stop's time limit, so that Exit still ends.
TEST(LampThread, StopWakesAWaitingWorkerAndLeavesAStuckOneBehindAfterThreeSeconds) {
    fakes::LampRig rig;
    HeldTraffic traffic;
    SteadyLampClock clock{rig.stop};
    const auto begin = steady_clock::now();
    clock.Sleep(60);
    EXPECT_GE(steady_clock::now() - begin, milliseconds(60)) << "a flash too short to be seen";
    LampLoop loop{rig.settings, rig.port, rig.fake, traffic, clock, rig.stop};
    StartLampThread(loop);
    ASSERT_TRUE(testsupport::WaitFor([&] { return traffic.polls >= 2; }));  // in a wait
    EXPECT_TRUE(StopLampThread(loop, kStopTimeoutMilliseconds));
    EXPECT_EQ(rig.stop.load(), 0);
    EXPECT_TRUE(StopLampThread(loop, kStopTimeoutMilliseconds)) << "nothing left to stop";

    traffic.held = true;
    const int polls = traffic.polls;
    StartLampThread(loop);
    ASSERT_TRUE(testsupport::WaitFor([&] { return traffic.polls > polls; }));
    std::atomic<bool> stopped{true};
    std::atomic<bool> returned{false};
    const auto start = steady_clock::now();
    std::thread stop([&] {
        stopped = StopLampThread(loop, kStopTimeoutMilliseconds);
        returned = true;
    });
    const bool inTime = testsupport::WaitFor([&] { return returned.load(); }, milliseconds(30'000));
    EXPECT_TRUE(inTime) << "the stop waits for the stuck worker";
    inTime ? stop.join() : stop.detach();
    EXPECT_FALSE(stopped);
    EXPECT_GE(steady_clock::now() - start, milliseconds(3000));
    // Ended by force (Windows), or left asked to stop until its poll returns (Linux).
    traffic.held = false;
    EXPECT_TRUE(testsupport::WaitFor([&] { return rig.stop.load() == 0; }));
}

}  // namespace

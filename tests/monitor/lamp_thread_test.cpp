// The worker's own clock and thread on real time: a wait lasts its time and a
// stop ends it at once; a stop wakes a waiting worker, and a stuck one is
// left behind, still asked to stop.
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

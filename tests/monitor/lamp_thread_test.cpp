// The worker's own clock on real time and real threads: a wait lasts its time,
// and a stop request ends it at once, before or during the wait.
#include "monitor/lamp_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "fakes/timeline_fakes.h"
#include "settings/lamp_settings.h"
#include "support/wait.h"

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
    std::thread sleeper([&] {
        clock.Sleep(600'000);
        woke = true;
    });
    stop = 1;
    clock.Wake();
    EXPECT_TRUE(testsupport::WaitFor([&] { return woke.load(); }))
        << "the stop did not end the wait";
    sleeper.join();
    clock.Sleep(600'000);  // a request already made ends the next wait too
}

// Blocks its poll while the test says so, counting the polls.
class BlockingTraffic final : public TrafficSource {
  public:
    bool Query(std::uint32_t& received, std::uint32_t& sent) override {
        received = sent = 0;
        ++polls;
        while (blocked) {
            std::this_thread::sleep_for(milliseconds(1));
        }
        return true;
    }
    std::atomic<int> polls{0};
    std::atomic<bool> blocked{false};
};

class LampThreadTest : public ::testing::Test {
  protected:
    fakes::Timeline timeline;
    fakes::TimelineLockKeys keys{timeline};
    CKeyboardLed caps{kVirtualKeyCapsLock, keys};
    CKeyboardLed scroll{kVirtualKeyScrollLock, keys};
    LampSettingsRecord settings{&caps, &scroll};
    fakes::TimelineSerialLines lines{timeline};
    CSerialPort port{lines};
    fakes::TimelineTray tray{timeline};
    BlockingTraffic traffic;
    std::atomic<int> stop{0};
    SteadyLampClock clock{stop};
    LampLoop loop{settings, port, tray, traffic, clock, stop};
};

TEST_F(LampThreadTest, StopDuringAWaitIsAcknowledged) {
    StartLampThread(loop);
    ASSERT_TRUE(testsupport::WaitFor([this] { return traffic.polls >= 2; }));
    EXPECT_TRUE(StopLampThread(loop, 3000));
    EXPECT_EQ(stop.load(), 0);
    EXPECT_TRUE(StopLampThread(loop, 3000)) << "a second stop finds nothing to stop";
}

TEST_F(LampThreadTest, StuckPollStillLetsTheStopComplete) {
    traffic.blocked = true;
    std::thread worker([this] { RunLampLoop(loop); });
    ASSERT_TRUE(testsupport::WaitFor([this] { return traffic.polls >= 1; }));
    EXPECT_FALSE(RequestLampLoopStop(loop, 50));
    // Unacknowledged: the request stays up, so the worker leaves once it returns.
    EXPECT_EQ(stop.load(), 1);
    traffic.blocked = false;
    worker.join();
    EXPECT_EQ(stop.load(), 0);
}

}  // namespace

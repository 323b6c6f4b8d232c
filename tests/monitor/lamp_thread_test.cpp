// The worker's thread on real time: a stop ends a waiting worker at once; one
// stuck in a line drive, as a port stuck in the kernel leaves it, is left
// behind after the stop's time limit, and the end of the process waits for it
// neither in closing the port nor in giving the lock keys back.
#include "monitor/lamp_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include "fakes/lamp_rig.h"
#include "support/files.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

TEST(LampThread, StopWakesAWaitingWorkerAndLeavesAStuckOneBehindAfterThreeSeconds) {
    // What the stuck worker holds stays allocated: it never gives it back.
    static fakes::Surroundings fake;
    static std::atomic<int> stop{0};
    static SteadyLampClock clock{stop};
    static LampSettingsRecord settings(nullptr, nullptr);
    static std::optional<LampLoop> loop;
    const auto begin = steady_clock::now();
    clock.Sleep(60);
    EXPECT_GE(steady_clock::now() - begin, milliseconds(60)) << "a flash too short to be seen";
    auto caps = std::make_unique<CKeyboardLed>(kVirtualKeyCapsLock, fake);
    auto num = std::make_unique<CKeyboardLed>(kVirtualKeyNumLock, fake);
    auto port = std::make_unique<CSerialPort>(fake);
    settings.receiveLed = caps.get();
    settings.sendLed = num.get();
    loop.emplace(LampLoop{settings, *port, fake, fake, clock, stop});
    StartLampThread(*loop);
    ASSERT_TRUE(testsupport::WaitFor([] { return fake.queries >= 2; }));  // in a wait
    EXPECT_TRUE(StopLampThread(*loop, kStopTimeoutMilliseconds));
    EXPECT_EQ(stop.load(), 0);
    EXPECT_TRUE(StopLampThread(*loop, kStopTimeoutMilliseconds)) << "nothing left to stop";

    settings.useSerialLed = 1;
    ApplySerialLamp(*port, settings);
    fake.polls = {{true, 1, 1}};
    fake.stuckDrive = 1;
    StartLampThread(*loop);
    ASSERT_TRUE(testsupport::WaitFor([] { return fake.stuckDrive == 2; }));
    EXPECT_EQ(fake.locks[kVirtualKeyCapsLock] + fake.locks[kVirtualKeyNumLock], 2)
        << "the flash had begun";
    std::atomic<bool> stopped{true};
    std::atomic<bool> returned{false};
    const auto start = steady_clock::now();
    std::thread stopper([&] {
        stopped = StopLampThread(*loop, kStopTimeoutMilliseconds);
        returned = true;
    });
    const bool inTime = testsupport::WaitFor([&] { return returned.load(); }, milliseconds(30'000));
    EXPECT_TRUE(inTime) << "the stop waits for the stuck worker";
    inTime ? stopper.join() : stopper.detach();
    EXPECT_FALSE(stopped);
    EXPECT_GE(steady_clock::now() - start, milliseconds(3000));

    // The process-wide objects' end, in their order: the port, then the keys.
    std::atomic<bool> ended{false};
    std::thread exitSequence([&] {
        port.reset();
        num.reset();
        caps.reset();
        ended = true;
    });
    if (!testsupport::WaitFor([&] { return ended.load(); })) {
        exitSequence.detach();
        FAIL() << "the end of the process waits for the stuck worker";
    }
    exitSequence.join();
    EXPECT_EQ(fake.locks[kVirtualKeyCapsLock] + fake.locks[kVirtualKeyNumLock], 0);
}

}  // namespace

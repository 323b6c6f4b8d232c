// The worker's thread on real time: a stop ends a waiting worker at once; one
// stuck in a line drive, as a port stuck in the kernel leaves it, is left
// behind after the stop's time limit, and the end of the process waits for it
// neither in closing the port nor in giving the lock keys back.
#include "monitor/lamp_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "fakes/lamp_rig.h"
#include "support/files.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// Whether body ends within the time limit; if not, it is left running.
bool EndsWithin(const std::function<void()>& body, milliseconds limit = std::chrono::seconds(10)) {
    auto ended = std::make_shared<std::atomic<bool>>(false);
    std::thread([=] {
        body();
        *ended = true;
    }).detach();
    return testsupport::WaitFor([&] { return ended->load(); }, limit);
}

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
    const auto start = steady_clock::now();
    EXPECT_TRUE(EndsWithin([&] { stopped = StopLampThread(*loop, kStopTimeoutMilliseconds); },
                           milliseconds(30'000)))
        << "the stop waits for the stuck worker";
    EXPECT_FALSE(stopped);
    EXPECT_GE(steady_clock::now() - start, milliseconds(3000));

    // The process-wide objects' end, in their order: the port, then the keys.
    ASSERT_TRUE(EndsWithin([&] {
        port.reset();
        num.reset();
        caps.reset();
    })) << "the end of the process waits for the stuck worker";
    EXPECT_EQ(fake.locks[kVirtualKeyCapsLock] + fake.locks[kVirtualKeyNumLock], 0);
}

}  // namespace

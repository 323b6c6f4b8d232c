// The end of the process after a worker that never came back: a line drive
// stuck in the driver, as a port stuck in the kernel would leave it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include "fakes/timeline_fakes.h"
#include "monitor/lamp_loop.h"
#include "settings/lamp_settings.h"
#include "support/wait.h"

namespace {

// Drives normally until armed; then the next drive never returns, holding
// the port's lock as a worker ended by force holds it for good.
class StuckLines final : public fakes::FakeSerialLineDriver {
  public:
    void DriveLine(SerialHandle handle, int code) override {
        if (!armed) {
            FakeSerialLineDriver::DriveLine(handle, code);
            return;
        }
        stuck = true;
        for (;;) {
            std::this_thread::sleep_for(std::chrono::hours(1));
        }
    }
    std::atomic<bool> armed{false};
    std::atomic<bool> stuck{false};
};

TEST(LampLoopExit, AWorkerStuckInALineDriveKeepsNeitherTheProcessNorTheKeys) {
    // What the stuck worker holds stays allocated: it never gives it back.
    static StuckLines lines;
    static fakes::Timeline timeline;
    static fakes::TimelineTray tray(timeline);
    static fakes::ScriptedTraffic traffic;
    static fakes::TimelineClock clock(timeline);
    static std::atomic<int> stop{0};
    FakeLockKeyDriver keys;
    auto caps = std::make_unique<CKeyboardLed>(kVirtualKeyCapsLock, keys);
    auto scroll = std::make_unique<CKeyboardLed>(kVirtualKeyScrollLock, keys);
    auto num = std::make_unique<CKeyboardLed>(kVirtualKeyNumLock, keys);
    auto port = std::make_unique<CSerialPort>(lines);
    static LampSettingsRecord settings(nullptr, nullptr);
    settings.receiveLed = caps.get();
    settings.sendLed = num.get();
    settings.useSerialLed = 1;
    ApplySerialLamp(*port, settings);
    ASSERT_TRUE(port->IsOpen());

    lines.armed = true;
    traffic.Push({true, 1, 1});
    static std::optional<LampLoop> loop;
    loop.emplace(LampLoop{settings, *port, tray, traffic, clock, stop});
    std::thread(LampThreadProc, &*loop).detach();
    ASSERT_TRUE(testsupport::WaitFor([] { return lines.stuck.load(); }));
    EXPECT_EQ(keys.Lock(kVirtualKeyCapsLock) + keys.Lock(kVirtualKeyNumLock), 2)
        << "the flash had begun";
    EXPECT_FALSE(RequestLampLoopStop(*loop, 20));

    // The process-wide objects' end, in their order: the port, then the keys.
    std::atomic<bool> ended{false};
    std::thread exitSequence([&] {
        port.reset();
        num.reset();
        scroll.reset();
        caps.reset();
        ended = true;
    });
    const bool finished = testsupport::WaitFor([&] { return ended.load(); });
    if (!finished) {
        exitSequence.detach();
        FAIL() << "the end of the process waits for the stuck worker";
    }
    exitSequence.join();
    EXPECT_EQ(keys.Lock(kVirtualKeyCapsLock), 0);
    EXPECT_EQ(keys.Lock(kVirtualKeyNumLock), 0);
}

}  // namespace

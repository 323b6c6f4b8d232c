// The worker and the user-interface side at full speed on fakes: every setting
// flipped and the serial lamp re-applied while the loop drives the lamps. Run
// under ThreadSanitizer (linux-tsan) it also checks the shared values for races.
#include <gtest/gtest.h>

#include <thread>

#include "fakes/timeline_fakes.h"
#include "lamps/keyboard_led.h"
#include "lamps/serial_port.h"
#include "monitor/lamp_loop.h"
#include "settings/lamp_settings.h"

namespace {

// Traffic in both directions on every poll.
class BusyTraffic final : public TrafficSource {
  public:
    bool Query(std::uint32_t& received, std::uint32_t& sent) override {
        received = ++m_count;
        sent = m_count * 3;
        return m_count % 7 != 0;  // now and then a failed read
    }

  private:
    std::uint32_t m_count = 0;
};

// No real waiting, so the loop cycles as fast as it can.
class InstantClock final : public LampClock {
  public:
    void Sleep(std::uint32_t /*milliseconds*/) override { std::this_thread::yield(); }
    void Wake() override {}
};

TEST(LampLoopStress, SettingsAndPortChangesWhileTheWorkerRunsNeverDriveAClosedPort) {
    fakes::Timeline timeline;
    fakes::TimelineLockKeys keys{timeline};
    CKeyboardLed caps{kVirtualKeyCapsLock, keys};
    CKeyboardLed scroll{kVirtualKeyScrollLock, keys};
    CKeyboardLed num{kVirtualKeyNumLock, keys};
    LampSettingsRecord settings{&caps, &scroll};
    settings.useSerialLed = 1;
    fakes::TimelineSerialLines lines{timeline};
    CSerialPort port{lines};
    fakes::TimelineTray tray{timeline};
    BusyTraffic traffic;
    InstantClock clock;
    std::atomic<int> stop{0};
    LampLoop loop{settings, port, tray, traffic, clock, stop};
    ApplySerialLamp(port, settings);

    std::thread worker([&] { RunLampLoop(loop); });
    CKeyboardLed* const lamps[] = {&caps, &scroll, &num};
    for (int i = 0; i < 5000; ++i) {
        settings.useKeyboardLed = i % 3 == 0 ? 0 : 1;
        settings.useReceiveLed = i % 2;
        settings.useSendLed = (i / 2) % 2;
        settings.receiveLed = lamps[i % 3];
        settings.sendLed = lamps[(i / 3) % 3];
        settings.ledInversion = i % 5;  // values past 1 included
        settings.useSerialLed = i % 4 == 3 ? 0 : 1;
        settings.serialPortNum = 1 + i % 20;
        if (i % 6 == 5) {
            lines.missingPorts = {settings.serialPortNum};
        } else {
            lines.missingPorts.clear();
        }
        ApplySerialLamp(port, settings);
        if (i % 100 == 0) {
            timeline.Take();  // keep the record from growing without bound
        }
    }
    EXPECT_TRUE(RequestLampLoopStop(loop, 3000));
    worker.join();
    EXPECT_EQ(lines.Faults(), 0);
    for (const std::string& event : timeline.Take()) {
        EXPECT_NE(event.rfind("code ", 0), 0u) << event;  // a code outside the four
    }
}

}  // namespace

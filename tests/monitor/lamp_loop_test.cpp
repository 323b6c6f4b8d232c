// The lamp loop's cycles on the fake rig: what each cycle does, in order.
#include "monitor/lamp_loop.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "fakes/lamp_rig.h"
#include "support/files.h"

namespace {

using Poll = fakes::Surroundings::Poll;

// "Caps on, tray Receive, ..." as the list of events.
fakes::Events Split(const std::string& text) {
    fakes::Events events;
    std::istringstream in(text);
    for (std::string event; std::getline(in >> std::ws, event, ',');) {
        events.push_back(event);
    }
    return events;
}

const std::string kFlash = "sleep 100, tray Idle, CLRDTR, CLRRTS, ";
const std::string kReceive = "Caps on, tray Receive, SETDTR, " + kFlash + "Caps off, sleep 100";

struct Timeline {
    const char* what;
    std::function<void(fakes::LampRig&)> tweak;
    std::vector<Poll> polls;  // one cycle each, after a quiet start at 100 and 200
    std::string events;
};

const Timeline kTimelines[] = {
    {"receive", nullptr, {{true, 150, 200}}, kReceive},
    {"send",
     nullptr,
     {{true, 100, 201}},
     "Scroll on, tray Send, SETRTS, " + kFlash + "Scroll off, sleep 100"},
    {"both, inverted lines",
     [](auto& r) { r.settings.ledInversion = 1; },
     {{true, 101, 201}},
     "Caps on, Scroll on, tray Both, CLRDTR, CLRRTS, sleep 100, tray Idle, SETDTR, SETRTS, "
     "Caps off, Scroll off, sleep 100"},
    {"quiet: one wait for the whole cycle", nullptr, {{true, 100, 200}}, "sleep 200"},
    {"a failed poll is quiet and keeps the last totals",
     nullptr,
     {{false, 0, 0}, {true, 100, 200}},
     "sleep 200, sleep 200"},
    {"new totals are kept",
     nullptr,
     {{true, 150, 200}, {true, 150, 200}},
     kReceive + ", sleep 200"},
    {"keyboard off: a key the user lit stays lit",
     [](auto& r) {
         r.settings.useKeyboardLed = 0;
         r.fake.locks[kVirtualKeyCapsLock] = 1;
     },
     {{true, 150, 200}},
     "tray Receive, SETDTR, " + kFlash + "sleep 100"},
    {"switches other than 1 are off, an inversion other than 1 is none",
     [](auto& r) {
         r.settings.useKeyboardLed = 2;
         r.settings.ledInversion = 5;
     },
     {{true, 150, 200}},
     "tray Receive, SETDTR, " + kFlash + "sleep 100"},
    {"receive key off, send key on",
     [](auto& r) { r.settings.useReceiveLed = 0; },
     {{true, 101, 201}},
     "Scroll on, tray Both, SETDTR, SETRTS, " + kFlash + "Scroll off, sleep 100"},
    {"one key for both directions",
     [](auto& r) { r.settings.sendLed = &r.caps; },
     {{true, 101, 201}},
     "Caps on, tray Both, SETDTR, SETRTS, " + kFlash + "Caps off, sleep 100"},
    {"a port that did not open is never driven",
     [](auto& r) {
         r.fake.missingPorts = {3};
         ApplySerialLamp(r.port, r.settings);
     },
     {{true, 150, 200}},
     "close, open 3, Caps on, tray Receive, sleep 100, tray Idle, Caps off, sleep 100"},
    {"lamps switched off during the flash are left alone",
     [](auto& r) {
         r.fake.duringSleep = [&r](int) {
             r.settings.useKeyboardLed = r.settings.useSerialLed = 0;
         };
     },
     {{true, 150, 200}},
     "Caps on, tray Receive, SETDTR, sleep 100, tray Idle, sleep 100"},
};

TEST(LampLoop, CyclesFollowTheirTimelines) {
    for (const Timeline& t : kTimelines) {
        fakes::LampRig rig;
        rig.settings.serialPortNum = 3;
        rig.settings.useSerialLed = 1;
        ApplySerialLamp(rig.port, rig.settings);
        rig.fake.Take();
        rig.loop.lastReceived = 100;
        rig.loop.lastSent = 200;
        if (t.tweak) {
            t.tweak(rig);
        }
        rig.fake.polls.assign(t.polls.begin(), t.polls.end());
        for (std::size_t i = 0; i < t.polls.size(); ++i) {
            RunLampCycle(rig.loop);
        }
        EXPECT_EQ(rig.fake.Take(), Split(t.events)) << t.what;
        EXPECT_EQ(rig.fake.faults, 0) << t.what;
    }
}

TEST(LampLoop, FirstPollFlashesBothThenTheLoopStopsAtTheTopOfACycle) {
    fakes::LampRig rig;
    rig.fake.polls = {{true, 5000, 7000}};
    rig.fake.duringSleep = [&rig](int sleep) { rig.stop = sleep == 3 ? 1 : rig.stop.load(); };
    EXPECT_EQ(RunLampLoop(rig.loop), 0);
    EXPECT_EQ(rig.stop.load(), 0) << "the stop is acknowledged";
    // The flash's two waits, then the quiet cycle during which the stop came.
    EXPECT_EQ(rig.fake.Take(),
              Split("Caps on, Scroll on, tray Both, sleep 100, tray Idle, Caps off, "
                    "Scroll off, sleep 100, sleep 200"));
}

// The user-interface side changes every setting and re-applies the serial lamp
// while the worker cycles at full speed: no drive may reach a closed port, and
// under ThreadSanitizer no shared value may race.
TEST(LampLoop, SettingsAndPortChangesWhileTheWorkerRunsNeverDriveAClosedPort) {
    fakes::LampRig rig;
    rig.fake.recording = false;
    struct BusyTraffic final : TrafficSource {
        bool Query(std::uint32_t& received, std::uint32_t& sent) override {
            received = ++count;
            sent = count * 3;
            return count % 7 != 0;  // now and then a failed read
        }
        std::uint32_t count = 0;
    } traffic;
    LampLoop loop{rig.settings, rig.port, rig.fake, traffic, rig.fake, rig.stop};
    std::thread worker([&loop] { RunLampLoop(loop); });
    for (int i = 0; i < 5000 || rig.fake.drives < 2000; ++i) {
        rig.settings.useKeyboardLed = i % 3 == 0 ? 0 : 1;
        rig.settings.useReceiveLed = i % 2;
        rig.settings.receiveLed = rig.lamps[std::size_t(i % 3)];
        rig.settings.sendLed = rig.lamps[std::size_t(i / 3 % 3)];
        rig.settings.ledInversion = i % 5;
        rig.settings.useSerialLed = i % 4 == 3 ? 0 : 1;
        rig.settings.serialPortNum = 1 + i % 20;
        rig.fake.missingPorts = {i % 6 == 5 ? rig.settings.serialPortNum.load() : 0};
        ApplySerialLamp(rig.port, rig.settings);
    }
    EXPECT_TRUE(RequestLampLoopStop(loop, 3000));
    worker.join();
    EXPECT_EQ(rig.fake.faults, 0);
}

}  // namespace

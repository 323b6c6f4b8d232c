// The lamp loop's cycles on the fake rig: what each cycle does, in order.
#include "monitor/lamp_loop.h"

#include <gtest/gtest.h>

#include "fakes/lamp_rig.h"

namespace {

const std::string kFlash = "sleep 100, tray Idle, CLRDTR, CLRRTS, ";
const std::string kReceive = "Caps on, tray Receive, SETDTR, " + kFlash + "Caps off, sleep 100";

struct Timeline {
    const char* what;
    std::function<void(fakes::LampRig&)> tweak;
    std::deque<fakes::Surroundings::Poll> polls;  // a cycle each, after totals 100 and 200
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
    {"keyboard switch other than 1 is off, a key the user lit stays lit, an inversion "
     "other than 1 is none",
     [](auto& r) {
         r.settings.useKeyboardLed = 2;
         r.settings.ledInversion = 5;
         r.fake.locks[kVirtualKeyCapsLock] = 1;
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
         r.fake.duringSleep = [&r] { r.settings.useKeyboardLed = r.settings.useSerialLed = 0; };
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
        rig.fake.polls = t.polls;
        for (std::size_t i = 0; i < t.polls.size(); ++i) {
            RunLampCycle(rig.loop);
        }
        EXPECT_EQ(rig.fake.Take(), t.events) << t.what;
        EXPECT_EQ(rig.fake.faults, 0) << t.what;
    }
}

}  // namespace

// The serial lamp on fake modem lines: which port is opened, which lines are
// driven in which order, and when nothing is.
#include "lamps/serial_port.h"

#include <gtest/gtest.h>

#include <optional>

#include "fakes/lamp_rig.h"

namespace {

using fakes::Events;

TEST(SerialLamp, ApplyOpensTheChosenPortAndDrivesDtrThenRtsIdle) {
    struct Row {
        int use;
        int port;
        int inversion;
        bool missing;
        Events calls;
    };
    const Row rows[] = {
        {1, 3, 0, false, {"open 3", "CLRDTR", "CLRRTS", "SETDTR"}},
        {1, 20, 1, false, {"open 20", "SETDTR", "SETRTS", "CLRDTR"}},
        {1, 2, 5, false, {"open 2", "CLRDTR", "CLRRTS", "SETDTR"}},  // only 1 inverts
        {1, 7, 0, true, {"open 7"}},                                 // missing or busy: a dark lamp
        {0, 1, 0, false, {}},
        {2, 1, 0, false, {}},
        {1, 0, 0, false, {}},
    };
    for (const Row& row : rows) {
        fakes::LampRig rig;
        rig.settings.useSerialLed = row.use;
        rig.settings.serialPortNum = row.port;
        rig.settings.ledInversion = row.inversion;
        if (row.missing) {
            rig.fake.missingPorts = {row.port};
        }
        ApplySerialLamp(rig.port, rig.settings);
        EXPECT_EQ(rig.fake.OpenCount(), row.calls.size() > 1 ? 1u : 0u) << row.port;
        DriveSerialLamp(rig.port, rig.settings, kDtrActive);  // driven only when open
        EXPECT_EQ(rig.fake.Take(), row.calls) << "use " << row.use << " port " << row.port;
    }
}

TEST(SerialLamp, EachApplyClosesFirstAndAClosedPortIsNeverDriven) {
    fakes::LampRig rig;
    std::optional<CSerialPort> port(std::in_place, rig.fake);
    port->DriveLine(kSetDtr);
    rig.settings.useSerialLed = 1;
    rig.settings.serialPortNum = 4;
    ApplySerialLamp(*port, rig.settings);
    ApplySerialLamp(*port, rig.settings);  // the same port again, after its close
    rig.settings.serialPortNum = 9;
    ApplySerialLamp(*port, rig.settings);
    rig.settings.ledInversion = 1;  // read afresh at every drive
    DriveSerialLamp(*port, rig.settings, kRtsActive);
    rig.settings.useSerialLed = 0;
    DriveSerialLamp(*port, rig.settings, kRtsIdle);
    ApplySerialLamp(*port, rig.settings);
    DriveSerialLamp(*port, rig.settings, kDtrIdle);
    rig.settings.useSerialLed = 1;
    ApplySerialLamp(*port, rig.settings);
    port.reset();  // the end of the program closes without driving
    EXPECT_EQ(rig.fake.Take(), (Events{"open 4", "CLRDTR", "CLRRTS", "close", "open 4", "CLRDTR",
                                       "CLRRTS", "close", "open 9", "CLRDTR", "CLRRTS", "CLRRTS",
                                       "close", "open 9", "SETDTR", "SETRTS", "close"}));
    EXPECT_EQ(rig.fake.OpenCount(), 0u);
    EXPECT_EQ(rig.fake.faults, 0);
}

}  // namespace

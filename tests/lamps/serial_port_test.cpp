// The serial lamp on a fake line driver: which lines are driven, in which order, and when not.
#include "lamps/serial_port.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "fakes/fake_serial_line_driver.h"
#include "settings/lamp_settings.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct LevelCase {
    int base;
    int inversion;
    int code;
};

TEST(LineLevelTable, GivesEachLineAndPhaseItsLevel) {
    const LevelCase cases[] = {
        {kDtrIdle, 0, kClrDtr},   {kDtrIdle, 1, kSetDtr},   {kDtrActive, 0, kSetDtr},
        {kDtrActive, 1, kClrDtr}, {kRtsIdle, 0, kClrRts},   {kRtsIdle, 1, kSetRts},
        {kRtsActive, 0, kSetRts}, {kRtsActive, 1, kClrRts},
    };
    for (const LevelCase& c : cases) {
        EXPECT_EQ(LineLevelCode(c.base, c.inversion), c.code)
            << "base " << c.base << " inversion " << c.inversion;
        EXPECT_EQ(lineLevelTable[c.base + c.inversion], c.code);
    }
}

TEST(LineLevelTable, AnyOtherInversionCountsAsNormal) {
    for (const int inversion : {5, 2, -1, INT_MAX, INT_MIN}) {
        for (const int base : {kDtrIdle, kDtrActive, kRtsIdle, kRtsActive}) {
            EXPECT_EQ(LineLevelCode(base, inversion), LineLevelCode(base, 0))
                << "base " << base << " inversion " << inversion;
        }
    }
}

class SerialLampTest : public ::testing::Test {
  protected:
    void SetSettings(int use, int portNumber, int inversion) {
        settings.useSerialLed = use;
        settings.serialPortNum = portNumber;
        settings.ledInversion = inversion;
    }

    fakes::FakeSerialLineDriver driver;
    LampSettingsRecord settings{nullptr, nullptr};
    // Optional so that a test can end the port's life and look at what it did.
    std::optional<CSerialPort> port{std::in_place, driver};
};

TEST_F(SerialLampTest, ApplyOpensAt9600N1AndSetsDtrThenRtsIdle) {
    SetSettings(1, 3, 0);
    ApplySerialLamp(*port, settings);
    EXPECT_THAT(driver.Calls(), ElementsAre("open 3", "CLRDTR", "CLRRTS"));
    EXPECT_TRUE(port->IsOpen());
}

TEST_F(SerialLampTest, ApplyWithInversionSetsBothLinesForIdle) {
    SetSettings(1, 20, 1);
    ApplySerialLamp(*port, settings);
    EXPECT_THAT(driver.Calls(), ElementsAre("open 20", "SETDTR", "SETRTS"));
}

TEST_F(SerialLampTest, ApplyWithOddInversionUsesNormalLevels) {
    SetSettings(1, 2, 5);
    ApplySerialLamp(*port, settings);
    EXPECT_THAT(driver.Calls(), ElementsAre("open 2", "CLRDTR", "CLRRTS"));
}

TEST_F(SerialLampTest, SerialLampOffOrPortZeroOpensNothing) {
    for (const int use : {0, 2, -1}) {
        SetSettings(use, 1, 0);
        ApplySerialLamp(*port, settings);
    }
    SetSettings(1, 0, 0);
    ApplySerialLamp(*port, settings);
    EXPECT_THAT(driver.Calls(), IsEmpty());
    EXPECT_FALSE(port->IsOpen());
}

TEST_F(SerialLampTest, EveryApplyClosesAndReopensEvenWhenNothingChanged) {
    SetSettings(1, 4, 0);
    ApplySerialLamp(*port, settings);
    ApplySerialLamp(*port, settings);
    EXPECT_THAT(driver.Calls(),
                ElementsAre("open 4", "CLRDTR", "CLRRTS", "close", "open 4", "CLRDTR", "CLRRTS"));
    EXPECT_EQ(driver.OpenCount(), 1U);
    EXPECT_EQ(driver.Faults(), 0);
}

TEST_F(SerialLampTest, SwitchingTheLampOffClosesWithoutDrivingALine) {
    SetSettings(1, 4, 0);
    ApplySerialLamp(*port, settings);
    driver.ClearCalls();
    settings.useSerialLed = 0;
    ApplySerialLamp(*port, settings);
    EXPECT_THAT(driver.Calls(), ElementsAre("close"));
    EXPECT_FALSE(port->IsOpen());
}

TEST_F(SerialLampTest, MovingToAnotherPortClosesTheOldOneFirst) {
    SetSettings(1, 4, 0);
    ApplySerialLamp(*port, settings);
    driver.ClearCalls();
    settings.serialPortNum = 9;
    ApplySerialLamp(*port, settings);
    EXPECT_THAT(driver.Calls(), ElementsAre("close", "open 9", "CLRDTR", "CLRRTS"));
    EXPECT_EQ(driver.OpenCount(), 1U);
}

TEST_F(SerialLampTest, DeviceThatCannotBeOpenedLeavesALampThatIsNeverDriven) {
    driver.missingPorts = {7};
    SetSettings(1, 7, 0);
    ApplySerialLamp(*port, settings);
    EXPECT_THAT(driver.Calls(), ElementsAre("open 7"));
    EXPECT_FALSE(port->IsOpen());

    DriveSerialLamp(*port, settings, kDtrActive);
    DriveSerialLamp(*port, settings, kRtsIdle);
    port->DriveLine(kSetRts);
    EXPECT_THAT(driver.Calls(), ElementsAre("open 7"));
}

TEST_F(SerialLampTest, WorkerCyclesDriveActiveThenBothIdleLevels) {
    struct Cycle {
        int inversion;
        std::vector<int> bases;
        std::vector<std::string> codes;
    };
    const Cycle cycles[] = {
        // Receive only: RTS gets its idle code too, although it stayed idle.
        {0, {kDtrActive, kDtrIdle, kRtsIdle}, {"SETDTR", "CLRDTR", "CLRRTS"}},
        {1, {kDtrActive, kDtrIdle, kRtsIdle}, {"CLRDTR", "SETDTR", "SETRTS"}},
        {0, {kRtsActive, kDtrIdle, kRtsIdle}, {"SETRTS", "CLRDTR", "CLRRTS"}},
        {0, {kDtrActive, kRtsActive, kDtrIdle, kRtsIdle}, {"SETDTR", "SETRTS", "CLRDTR", "CLRRTS"}},
        {1, {kDtrActive, kRtsActive, kDtrIdle, kRtsIdle}, {"CLRDTR", "CLRRTS", "SETDTR", "SETRTS"}},
    };
    SetSettings(1, 1, 0);
    ApplySerialLamp(*port, settings);
    for (const Cycle& cycle : cycles) {
        settings.ledInversion = cycle.inversion;
        driver.ClearCalls();
        for (const int base : cycle.bases) {
            DriveSerialLamp(*port, settings, base);
        }
        EXPECT_EQ(driver.Calls(), cycle.codes) << "inversion " << cycle.inversion;
    }
}

TEST_F(SerialLampTest, WorkerReadsTheSwitchAndInversionAtEveryDrive) {
    SetSettings(1, 1, 0);
    ApplySerialLamp(*port, settings);
    driver.ClearCalls();

    settings.ledInversion = 1;
    DriveSerialLamp(*port, settings, kDtrActive);
    settings.useSerialLed = 0;
    DriveSerialLamp(*port, settings, kDtrIdle);
    settings.useSerialLed = 1;
    settings.ledInversion = 0;
    DriveSerialLamp(*port, settings, kRtsActive);
    EXPECT_THAT(driver.Calls(), ElementsAre("CLRDTR", "SETRTS"));
}

TEST_F(SerialLampTest, NewPortIsClosedAndNeverDriven) {
    EXPECT_FALSE(port->IsOpen());
    port->DriveLine(kSetDtr);
    settings.useSerialLed = 1;
    DriveSerialLamp(*port, settings, kRtsActive);
    port.reset();
    EXPECT_THAT(driver.Calls(), IsEmpty());
}

TEST_F(SerialLampTest, DestructionClosesAnOpenPortWithoutDrivingALine) {
    SetSettings(1, 5, 1);
    ApplySerialLamp(*port, settings);
    driver.ClearCalls();
    port.reset();
    EXPECT_THAT(driver.Calls(), ElementsAre("close"));
    EXPECT_EQ(driver.OpenCount(), 0U);
}

TEST_F(SerialLampTest, ReopeningAnOpenPortDoesNotLeakTheFirstDevice) {
    ASSERT_TRUE(port->Reopen(1, kClrDtr, kClrRts));
    ASSERT_TRUE(port->Reopen(2, kClrDtr, kClrRts));
    EXPECT_EQ(driver.OpenCount(), 1U);
    EXPECT_FALSE(port->Reopen(0, kClrDtr, kClrRts));
    EXPECT_EQ(driver.OpenCount(), 0U);
    EXPECT_EQ(driver.Faults(), 0);
}

// The user-interface thread re-applies the lamp with changing settings while
// the worker drives the lines: no drive may reach a closed or stale handle.
TEST_F(SerialLampTest, WorkerNeverDrivesAPortBeingReopened) {
    constexpr int kApplies = 5000;
    constexpr int kEnoughDrives = 1000;
    driver.recordCalls = false;
    driver.missingPorts = {3};
    std::atomic<bool> workerRunning{false};
    std::atomic<bool> stop{false};

    std::thread worker([&] {
        const int bases[] = {kDtrActive, kRtsActive, kDtrIdle, kRtsIdle};
        workerRunning = true;
        while (!stop) {
            for (const int base : bases) {
                DriveSerialLamp(*port, settings, base);
            }
        }
    });
    while (!workerRunning) {
        std::this_thread::yield();
    }

    const int uses[] = {1, 1, 0, 1, 2};
    const int portNumbers[] = {1, 2, 0, 3, 20, 1};
    const int inversions[] = {0, 1, 5, 1};
    for (int i = 0; i < kApplies; ++i) {
        settings.useSerialLed = uses[i % 5];
        settings.serialPortNum = portNumbers[i % 6];
        settings.ledInversion = inversions[i % 4];
        ApplySerialLamp(*port, settings);
    }
    // Go on reopening a port that stays in use until the worker has surely driven it.
    for (int i = 0; driver.Drives() < kEnoughDrives; ++i) {
        SetSettings(1, 1, i % 2);
        ApplySerialLamp(*port, settings);
    }
    stop = true;
    worker.join();
    port.reset();

    EXPECT_GE(driver.Drives(), kEnoughDrives);
    EXPECT_EQ(driver.Faults(), 0);
    EXPECT_EQ(driver.OpenCount(), 0U);
}

}  // namespace

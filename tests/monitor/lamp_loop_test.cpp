// The lamp loop's cycles, recorded operation by operation on fakes.
#include "monitor/lamp_loop.h"

#include <gtest/gtest.h>

#include "fakes/timeline_fakes.h"
#include "settings/lamp_settings.h"

namespace {

using Events = std::vector<std::string>;

class LampLoopTest : public ::testing::Test {
  protected:
    LampLoopTest() {
        settings.serialPortNum = 3;
        settings.useSerialLed = 1;
        ApplySerialLamp(port, settings);
        timeline.Take();
    }

    // The first poll of a run counts as activity; start from a quiet state.
    void StartQuietAt(std::uint32_t received, std::uint32_t sent) {
        loop.lastReceived = received;
        loop.lastSent = sent;
    }

    fakes::Timeline timeline;
    fakes::TimelineLockKeys keys{timeline};
    CKeyboardLed caps{kVirtualKeyCapsLock, keys};
    CKeyboardLed scroll{kVirtualKeyScrollLock, keys};
    CKeyboardLed num{kVirtualKeyNumLock, keys};
    LampSettingsRecord settings{&caps, &scroll};
    fakes::TimelineSerialLines lines{timeline};
    CSerialPort port{lines};
    fakes::TimelineTray tray{timeline};
    fakes::ScriptedTraffic traffic;
    fakes::TimelineClock clock{timeline};
    std::atomic<int> stop{0};
    LampLoop loop{settings, port, tray, traffic, clock, stop};
};

TEST_F(LampLoopTest, ReceiveOnlyFlashesTheReceiveLampsThenDarkensEverything) {
    StartQuietAt(100, 200);
    traffic.Push({true, 150, 200});
    EXPECT_EQ(RunLampCycle(loop), kReceiveActivity);
    EXPECT_EQ(timeline.Take(), (Events{"Caps on", "tray Receive", "SETDTR", "sleep 100",
                                       "tray Idle", "CLRDTR", "CLRRTS", "Caps off", "sleep 100"}));
    EXPECT_EQ(loop.lastReceived, 150u);
}

TEST_F(LampLoopTest, SendOnlyFlashesTheSendLamps) {
    StartQuietAt(100, 200);
    traffic.Push({true, 100, 201});
    EXPECT_EQ(RunLampCycle(loop), kSendActivity);
    EXPECT_EQ(timeline.Take(), (Events{"Scroll on", "tray Send", "SETRTS", "sleep 100", "tray Idle",
                                       "CLRDTR", "CLRRTS", "Scroll off", "sleep 100"}));
}

TEST_F(LampLoopTest, BothDirectionsDriveDtrBeforeRtsInBothPhases) {
    StartQuietAt(100, 200);
    traffic.Push({true, 101, 201});
    EXPECT_EQ(RunLampCycle(loop), kReceiveActivity | kSendActivity);
    EXPECT_EQ(timeline.Take(),
              (Events{"Caps on", "Scroll on", "tray Both", "SETDTR", "SETRTS", "sleep 100",
                      "tray Idle", "CLRDTR", "CLRRTS", "Caps off", "Scroll off", "sleep 100"}));
}

TEST_F(LampLoopTest, NoTrafficTouchesNothingAndWaitsTheWholeCycleAtOnce) {
    StartQuietAt(100, 200);
    traffic.Push({true, 100, 200});
    EXPECT_EQ(RunLampCycle(loop), 0);
    EXPECT_EQ(timeline.Take(), (Events{"sleep 200"}));
}

TEST_F(LampLoopTest, FirstPollAfterStartFlashesBothOnceThenSettles) {
    traffic.Push({true, 5000, 7000});
    EXPECT_EQ(RunLampCycle(loop), kReceiveActivity | kSendActivity);
    timeline.Take();
    EXPECT_EQ(RunLampCycle(loop), 0);
}

TEST_F(LampLoopTest, FailedPollIsNoActivityAndKeepsTheLastTotals) {
    StartQuietAt(100, 200);
    traffic.Push({false, 0, 0});
    traffic.Push({true, 100, 200});
    EXPECT_EQ(RunLampCycle(loop), 0);
    EXPECT_EQ(timeline.Take(), (Events{"sleep 200"}));
    EXPECT_EQ(loop.lastReceived, 100u);
    EXPECT_EQ(loop.lastSent, 200u);
    // The good poll after the failure matches the last good one: still quiet.
    EXPECT_EQ(RunLampCycle(loop), 0);
}

TEST_F(LampLoopTest, KeyboardMasterSwitchOffLeavesKeysAlone) {
    settings.useKeyboardLed = 0;
    StartQuietAt(100, 200);
    traffic.Push({true, 101, 201});
    RunLampCycle(loop);
    EXPECT_EQ(timeline.Take(), (Events{"tray Both", "SETDTR", "SETRTS", "sleep 100", "tray Idle",
                                       "CLRDTR", "CLRRTS", "sleep 100"}));
}

TEST_F(LampLoopTest, SwitchValuesOtherThanOneCountAsOff) {
    settings.useKeyboardLed = 2;
    settings.useSerialLed = 2;
    StartQuietAt(100, 200);
    traffic.Push({true, 101, 200});
    RunLampCycle(loop);
    EXPECT_EQ(timeline.Take(), (Events{"tray Receive", "sleep 100", "tray Idle", "sleep 100"}));
}

TEST_F(LampLoopTest, SameKeyForBothDirectionsSwitchesOnOnceAndOffOnce) {
    settings.sendLed = &caps;
    StartQuietAt(100, 200);
    traffic.Push({true, 101, 201});
    RunLampCycle(loop);
    EXPECT_EQ(timeline.Take(), (Events{"Caps on", "tray Both", "SETDTR", "SETRTS", "sleep 100",
                                       "tray Idle", "CLRDTR", "CLRRTS", "Caps off", "sleep 100"}));
}

TEST_F(LampLoopTest, ClosedPortIsNeverDriven) {
    lines.missingPorts = {3};
    ApplySerialLamp(port, settings);
    timeline.Take();
    StartQuietAt(100, 200);
    traffic.Push({true, 101, 201});
    RunLampCycle(loop);
    EXPECT_EQ(timeline.Take(), (Events{"Caps on", "Scroll on", "tray Both", "sleep 100",
                                       "tray Idle", "Caps off", "Scroll off", "sleep 100"}));
    EXPECT_EQ(lines.Faults(), 0);
}

TEST_F(LampLoopTest, InversionGivesTheOppositeLevels) {
    settings.ledInversion = 1;
    settings.useKeyboardLed = 0;
    StartQuietAt(100, 200);
    traffic.Push({true, 101, 200});
    RunLampCycle(loop);
    EXPECT_EQ(timeline.Take(), (Events{"tray Receive", "CLRDTR", "sleep 100", "tray Idle", "SETDTR",
                                       "SETRTS", "sleep 100"}));
}

TEST_F(LampLoopTest, OffPhaseReadsTheSettingsAfresh) {
    StartQuietAt(100, 200);
    traffic.Push({true, 101, 200});
    // The user switches the keyboard and serial lamps off during the flash.
    clock.duringSleep = [this](int sleepNumber) {
        if (sleepNumber == 1) {
            settings.useKeyboardLed = 0;
            settings.useSerialLed = 0;
        }
    };
    RunLampCycle(loop);
    EXPECT_EQ(timeline.Take(),
              (Events{"Caps on", "tray Receive", "SETDTR", "sleep 100", "tray Idle", "sleep 100"}));
    // The key that was lit stays lit until the lamps are restored at exit.
    EXPECT_EQ(caps.GetState(), 1);
}

TEST_F(LampLoopTest, LoopAcknowledgesTheStopAtTheTopOfTheNextCycle) {
    StartQuietAt(100, 200);
    traffic.Push({true, 100, 200});
    clock.duringSleep = [this](int sleepNumber) {
        if (sleepNumber == 2) {
            stop = 1;
        }
    };
    EXPECT_EQ(RunLampLoop(loop), 0);
    EXPECT_EQ(stop.load(), 0);
    // The second cycle, during which the stop was asked for, still runs to its end.
    EXPECT_EQ(timeline.Take(), (Events{"sleep 200", "sleep 200"}));
}

}  // namespace

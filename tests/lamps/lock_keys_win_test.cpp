// The Windows lock-key driver through the real GetKeyState and SendInput (Wine's,
// in the test runs, where the injected keys reach the injecting thread's view).
#include "lamps/keyboard_led.h"

#include <gtest/gtest.h>

namespace {

constexpr int kKeys[] = {kVirtualKeyCapsLock, kVirtualKeyScrollLock, kVirtualKeyNumLock};

TEST(LockKeysWin, TheInjectingThreadSeesEachToggle) {
    LockKeyDriver& keyboard = SystemLockKeyDriver();
    for (const int key : kKeys) {
        const int before = keyboard.GetLockState(key);
        keyboard.ToggleLock(key);
        EXPECT_EQ(keyboard.GetLockState(key), 1 - before) << key;
        keyboard.ToggleLock(key);
        EXPECT_EQ(keyboard.GetLockState(key), before) << key;
    }
}

TEST(LockKeysWin, TheSameKeyTwiceInARowEndsInTheLastCallsState) {
    for (const int key : kKeys) {
        CKeyboardLed lamp(key, SystemLockKeyDriver());
        for (int round = 0; round < 10; ++round) {
            lamp.Set(1);
            lamp.Set(0);
            ASSERT_EQ(lamp.GetState(), 0) << key << " round " << round;
            lamp.Set(0);
            lamp.Set(1);
            ASSERT_EQ(lamp.GetState(), 1) << key << " round " << round;
            lamp.Set(1);
            ASSERT_EQ(lamp.GetState(), 1) << key << " round " << round;
        }
    }
}

TEST(LockKeysWin, ALampGivesBackTheStateItFound) {
    LockKeyDriver& keyboard = SystemLockKeyDriver();
    for (const int key : kKeys) {
        const int before = keyboard.GetLockState(key);
        {
            CKeyboardLed lamp(key, keyboard);
            lamp.Set(1 - before);
            ASSERT_EQ(keyboard.GetLockState(key), 1 - before) << key;
        }
        EXPECT_EQ(keyboard.GetLockState(key), before) << key;
    }
}

}  // namespace

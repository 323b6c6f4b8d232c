// The Windows lock keys through the real GetKeyState and SendInput (Wine's in
// the test runs, where injected keys reach the injecting thread's view).
#include "lamps/keyboard_led.h"

#include <gtest/gtest.h>

namespace {

TEST(LockKeysWin, EachLampSwitchesItsKeyAndGivesBackTheStateItFound) {
    for (const int key : {kVirtualKeyCapsLock, kVirtualKeyScrollLock, kVirtualKeyNumLock}) {
        const int before = SystemLockKeyDriver().GetLockState(key);
        {
            CKeyboardLed lamp(key, SystemLockKeyDriver());
            // Twice in a row, as when both directions share a key: the last call wins.
            for (const int on : {1, 1, 0, 1, 0, 0, 1}) {
                lamp.Set(on);
                ASSERT_EQ(SystemLockKeyDriver().GetLockState(key), on) << key;
            }
        }
        EXPECT_EQ(SystemLockKeyDriver().GetLockState(key), before) << key;
    }
}

}  // namespace

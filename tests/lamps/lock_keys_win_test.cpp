// The Windows lock keys through the real GetKeyState and SendInput (Wine's in
// the test runs, where injected keys reach the injecting thread's view).
#include "lamps/lock_keys_win.h"

#include <gtest/gtest.h>

namespace {

TEST(LockKeysWin, EachLampSwitchesItsKeyAndGivesBackTheStateItFound) {
    WinLockKeyDriver driver;
    for (const int key : {kVirtualKeyCapsLock, kVirtualKeyScrollLock, kVirtualKeyNumLock}) {
        const int before = driver.GetLockState(key);
        {
            CKeyboardLed lamp(key, driver);
            // Twice in a row, as when both directions share a key: the last call wins.
            for (const int on : {1, 1, 0, 1, 0, 0, 1}) {
                lamp.Set(on);
                ASSERT_EQ(driver.GetLockState(key), on) << key;
            }
        }
        EXPECT_EQ(driver.GetLockState(key), before) << key;
    }
}

}  // namespace

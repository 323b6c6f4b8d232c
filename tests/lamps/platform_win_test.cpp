// The Windows build's own halves that a user meets first: the lock keys
// through the real GetKeyState and SendInput (Wine's in the test runs, where
// injected keys reach the injecting thread's view), the COM port's path, and
// where the ini file lives.
#include <gtest/gtest.h>

#include <filesystem>

#include "lamps/lock_keys_win.h"
#include "lamps/serial_port_win.h"
#include "settings/settings_store.h"

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

// The form that also reaches ports above 9.
TEST(SerialPortWin, ReachesPortsAboveNine) {
    EXPECT_EQ(SerialDevicePath(12), L"\\\\.\\COM12");
}

// Beside the executable, however long its path (ctest also runs this from a
// copy under a path of over 260 characters, where a fixed-size buffer would
// cut it short).
TEST(SettingsIniPathWin, BesideTheRunningExecutable) {
    const std::filesystem::path ini = GetIniPath();
    EXPECT_TRUE(ini.is_absolute() && ini.filename() == L"Velumin.ini") << ini;
    EXPECT_TRUE(std::filesystem::is_regular_file(ini.parent_path() / L"velumin_platform_tests.exe"))
        << ini;
}

}  // namespace

// Reads the lock keys with GetKeyState and flips them with SendInput, exactly as
// if the user had pressed them.
#include "lamps/keyboard_led.h"

#include <windows.h>

namespace {

class WinLockKeyDriver final : public LockKeyDriver {
  public:
    int GetLockState(int virtualKey) override { return (GetKeyState(virtualKey) & 1) != 0 ? 1 : 0; }

    void ToggleLock(int virtualKey) override {
        const int before = GetLockState(virtualKey);
        INPUT keys[2] = {};
        for (INPUT& key : keys) {
            key.type = INPUT_KEYBOARD;
            key.ki.wVk = static_cast<WORD>(virtualKey & 0xFFFF);
        }
        keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
        if (SendInput(2, keys, sizeof(INPUT)) != 2) {
            return;
        }
        // GetKeyState gives this thread's view of the keyboard, which the system
        // brings up to date only after it has processed the injected keys. Waiting
        // briefly for that makes the flip visible to the next read without keeping
        // a second copy of the state, which would drift from the real one when the
        // user presses the key meanwhile or the input is dropped unseen (UIPI).
        const ULONGLONG giveUp = GetTickCount64() + kSettleMilliseconds;
        while (GetLockState(virtualKey) == before && GetTickCount64() < giveUp) {
            Sleep(1);
        }
    }

  private:
    static constexpr ULONGLONG kSettleMilliseconds = 50;
};

}  // namespace

LockKeyDriver& SystemLockKeyDriver() {
    // Made on first use, as the first lamp is constructed, and never destroyed:
    // the lamps restore their keys during static destruction.
    static WinLockKeyDriver* const driver = new WinLockKeyDriver();
    return *driver;
}

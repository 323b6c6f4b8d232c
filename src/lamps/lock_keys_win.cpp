// Reads the lock keys with GetKeyState and flips them with SendInput, exactly as
// if the user had pressed them.
#include "lamps/keyboard_led.h"

#include <windows.h>

#include <array>

namespace {

class WinLockKeyDriver final : public LockKeyDriver {
  public:
    int GetLockState(int virtualKey) override {
        const int seen = (GetKeyState(virtualKey) & 1) != 0 ? 1 : 0;
        // GetKeyState gives this thread's view of the keyboard, which the system
        // brings up to date only after it has processed the injected keys. Until
        // then, or for a short while at most, a flip just injected counts as done,
        // so that a second Set right after the first does not flip the key back.
        Flip& flip = FlipOf(virtualKey);
        if (flip.pending && seen != flip.state && GetTickCount64() < flip.until) {
            return flip.state;
        }
        flip.pending = false;
        return seen;
    }

    void ToggleLock(int virtualKey) override {
        const int before = GetLockState(virtualKey);
        INPUT keys[2] = {};
        for (INPUT& key : keys) {
            key.type = INPUT_KEYBOARD;
            key.ki.wVk = static_cast<WORD>(virtualKey & 0xFFFF);
        }
        keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
        // No wait for the system here: the lamp's flash must start on every lamp
        // right after the poll.
        if (SendInput(2, keys, sizeof(INPUT)) == 2) {
            FlipOf(virtualKey) = {true, 1 - before, GetTickCount64() + kSettleMilliseconds};
        }
    }

  private:
    struct Flip {
        bool pending = false;
        int state = 0;
        ULONGLONG until = 0;
    };

    Flip& FlipOf(int virtualKey) {
        switch (virtualKey) {
            case kVirtualKeyCapsLock:
                return m_flips[0];
            case kVirtualKeyScrollLock:
                return m_flips[1];
            default:
                return m_flips[2];
        }
    }

    // The time the system may take to process an injected key; far shorter
    // than a lamp's 100 ms phase, so the next phase always reads the real state.
    static constexpr ULONGLONG kSettleMilliseconds = 50;
    std::array<Flip, 3> m_flips{};
};

}  // namespace

LockKeyDriver& SystemLockKeyDriver() {
    // Made on first use, as the first lamp is constructed, and never destroyed:
    // the lamps restore their keys during static destruction.
    static WinLockKeyDriver* const driver = new WinLockKeyDriver();
    return *driver;
}

// Reads the lock keys with GetKeyState and flips them with SendInput.
#include "lamps/lock_keys_win.h"

#include <windows.h>

namespace {

// The time the system may take to process an injected key; far shorter than a
// lamp's 100 ms phase, so the next phase always reads the real state.
constexpr ULONGLONG kSettleMilliseconds = 50;

}  // namespace

int WinLockKeyDriver::GetLockState(int virtualKey) {
    const int seen = (GetKeyState(virtualKey) & 1) != 0 ? 1 : 0;
    // GetKeyState gives this thread's view of the keyboard, which the system
    // brings up to date only after it has processed the injected keys. Until
    // then, or for a short while at most, a flip just injected counts as done,
    // so that a second Set right after the first does not flip the key back.
    Flip* flip = FlipOf(virtualKey);
    if (flip == nullptr) {
        return seen;
    }
    if (flip->pending && seen != flip->state && GetTickCount64() < flip->until) {
        return flip->state;
    }
    flip->pending = false;
    return seen;
}

void WinLockKeyDriver::ToggleLock(int virtualKey) {
    const int before = GetLockState(virtualKey);
    INPUT keys[2] = {};
    for (INPUT& key : keys) {
        key.type = INPUT_KEYBOARD;
        key.ki.wVk = static_cast<WORD>(virtualKey & 0xFFFF);
    }
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    // No wait for the system here: the lamp's flash must start on every lamp
    // right after the poll.
    Flip* flip = FlipOf(virtualKey);
    if (SendInput(2, keys, sizeof(INPUT)) == 2 && flip != nullptr) {
        *flip = {true, 1 - before, GetTickCount64() + kSettleMilliseconds};
    }
}

WinLockKeyDriver::Flip* WinLockKeyDriver::FlipOf(int virtualKey) {
    const int index = LockKeyIndex(virtualKey);
    return index >= 0 ? &m_flips[static_cast<std::size_t>(index)] : nullptr;
}

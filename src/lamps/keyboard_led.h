// A lock key's LED used as a lamp: lit by really switching the key's lock state.
#pragma once

#include <array>

#include "texts.h"

// Windows virtual-key codes of the three lock keys; the Linux driver maps them
// to X keysyms.
inline constexpr int kVirtualKeyCapsLock = 0x14;
inline constexpr int kVirtualKeyScrollLock = 0x91;
inline constexpr int kVirtualKeyNumLock = 0x90;

struct LockKey {
    int virtualKey;
    const char* name;  // as the Settings dialog lists it
};

// The three lock keys in the one order that the Settings dialog's lists, the
// ini values and the lamps' table all follow: 0 CapsLock, 1 ScrollLock, 2 NumLock.
inline constexpr std::array<LockKey, 3> kLockKeys{{
    {kVirtualKeyCapsLock, TEXT_KEY_CAPS},
    {kVirtualKeyScrollLock, TEXT_KEY_SCROLL},
    {kVirtualKeyNumLock, TEXT_KEY_NUM},
}};

// The key's place in kLockKeys; -1 for any other key.
constexpr int LockKeyIndex(int virtualKey) {
    for (std::size_t i = 0; i < kLockKeys.size(); ++i) {
        if (kLockKeys[i].virtualKey == virtualKey) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Reads and flips one lock key of the system's keyboard.
class LockKeyDriver {
  public:
    virtual ~LockKeyDriver() = default;
    // 1 while the key's lock is on (its LED lit), 0 otherwise.
    virtual int GetLockState(int virtualKey) = 0;
    // One press and release of the key. The flip is visible to the next
    // GetLockState, so two Set calls in a row end in the state of the last.
    virtual void ToggleLock(int virtualKey) = 0;
};

// The keys of a session where no program may drive them: every lock reads
// as off and nothing flips, so the keyboard lamps stay dark. The platforms'
// drivers are lock_keys_win, lock_keys_x11 and lock_keys_uinput_linux; the
// program chooses one.
class NoLockKeys final : public LockKeyDriver {
  public:
    int GetLockState(int /*virtualKey*/) override { return 0; }
    void ToggleLock(int /*virtualKey*/) override {}
};

class CKeyboardLed {
  public:
    // Records the key's current lock state; the destructor gives it back.
    CKeyboardLed(int virtualKey, LockKeyDriver& driver);
    ~CKeyboardLed();
    CKeyboardLed(const CKeyboardLed&) = delete;
    CKeyboardLed& operator=(const CKeyboardLed&) = delete;

    int GetState() const;
    // Makes the lock state equal on (0 or 1); injects nothing when it already is.
    void Set(int on);
    void Toggle();
    void SaveState();
    void Restore();

  private:
    const int m_virtualKey;
    int m_savedState = 0;
    LockKeyDriver& m_driver;
};

// The three lamps by index, in the order of kLockKeys.
using KeyboardLedTable = std::array<CKeyboardLed*, kLockKeys.size()>;

// The lamp at index; nullptr for any other index, and the caller keeps its lamp.
CKeyboardLed* KeyboardLedFromIndex(const KeyboardLedTable& lamps, int index);
// The lamp's index; -1 for a lamp not in the table.
int KeyboardLedToIndex(const KeyboardLedTable& lamps, const CKeyboardLed* lamp);

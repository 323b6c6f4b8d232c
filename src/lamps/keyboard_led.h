// A lock key's LED used as a lamp: lit by really switching the key's lock state.
#pragma once

#include <array>

// Windows virtual-key codes of the three lock keys; the Linux driver maps them
// to X keysyms.
inline constexpr int kVirtualKeyCapsLock = 0x14;
inline constexpr int kVirtualKeyScrollLock = 0x91;
inline constexpr int kVirtualKeyNumLock = 0x90;

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

// The platform's driver (_win: GetKeyState and SendInput; on Linux the
// session's, chosen in app/session_linux.cpp: _x11 XTest and XKB, or uinput).
LockKeyDriver& SystemLockKeyDriver();

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

// The three lamps by index, in the order of the dialog's lists and of the ini
// values: 0 CapsLock, 1 ScrollLock, 2 NumLock.
using KeyboardLedTable = std::array<CKeyboardLed*, 3>;

// The lamp at index; nullptr for any other index, and the caller keeps its lamp.
CKeyboardLed* KeyboardLedFromIndex(const KeyboardLedTable& lamps, int index);
// The lamp's index; -1 for a lamp not in the table.
int KeyboardLedToIndex(const KeyboardLedTable& lamps, const CKeyboardLed* lamp);

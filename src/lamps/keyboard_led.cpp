// The lock-key lamp: reads and flips its key through the driver, and gives the
// key back the state it had when the lamp was made.
#include "lamps/keyboard_led.h"

CKeyboardLed::CKeyboardLed(int virtualKey, LockKeyDriver& driver)
    : m_virtualKey(virtualKey), m_driver(driver) {
    SaveState();
}

CKeyboardLed::~CKeyboardLed() {
    Restore();
}

int CKeyboardLed::GetState() const {
    return m_driver.GetLockState(m_virtualKey) != 0 ? 1 : 0;
}

void CKeyboardLed::Set(int on) {
    // Any non-zero request means lit, so a stray value cannot make every call flip the key.
    const int wanted = on != 0 ? 1 : 0;
    if (GetState() != wanted) {
        Toggle();
    }
}

void CKeyboardLed::Toggle() {
    m_driver.ToggleLock(m_virtualKey);
}

void CKeyboardLed::SaveState() {
    m_savedState = GetState();
}

void CKeyboardLed::Restore() {
    Set(m_savedState);
}

CKeyboardLed* KeyboardLedFromIndex(const KeyboardLedTable& lamps, int index) {
    return index >= 0 && index < static_cast<int>(lamps.size())
               ? lamps[static_cast<std::size_t>(index)]
               : nullptr;
}

int KeyboardLedToIndex(const KeyboardLedTable& lamps, const CKeyboardLed* lamp) {
    for (std::size_t i = 0; i < lamps.size(); ++i) {
        if (lamp != nullptr && lamps[i] == lamp) {
            return static_cast<int>(i);
        }
    }
    // Not one of the three; FromIndex turns this back into "keep the old lamp".
    return -1;
}

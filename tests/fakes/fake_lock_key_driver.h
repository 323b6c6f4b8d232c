// A keyboard with lock keys in memory: counts what the lamps inject and lets a
// test play the user who presses a key by hand.
#pragma once

#include "lamps/keyboard_led.h"

#include <map>

class FakeLockKeyDriver : public LockKeyDriver {
  public:
    int GetLockState(int virtualKey) override { return m_locks[virtualKey]; }
    void ToggleLock(int virtualKey) override {
        ++m_injected[virtualKey];
        Flip(virtualKey);
    }

    // The user's own key press: changes the lock without counting as injected.
    void PressByHand(int virtualKey) { Flip(virtualKey); }
    void SetLock(int virtualKey, int on) { m_locks[virtualKey] = on; }
    int Lock(int virtualKey) const {
        const auto it = m_locks.find(virtualKey);
        return it == m_locks.end() ? 0 : it->second;
    }
    // Press-and-release pairs injected for the key so far.
    int Injected(int virtualKey) const {
        const auto it = m_injected.find(virtualKey);
        return it == m_injected.end() ? 0 : it->second;
    }

  private:
    void Flip(int virtualKey) { m_locks[virtualKey] = m_locks[virtualKey] != 0 ? 0 : 1; }

    std::map<int, int> m_locks;
    std::map<int, int> m_injected;
};

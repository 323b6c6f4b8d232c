// The lock keys of the Windows build: read with GetKeyState and flipped with
// SendInput, exactly as if the user had pressed them.
#pragma once

#include <array>
#include <cstdint>

#include "lamps/keyboard_led.h"

class WinLockKeyDriver final : public LockKeyDriver {
  public:
    int GetLockState(int virtualKey) override;
    void ToggleLock(int virtualKey) override;

  private:
    // A flip just injected, which the system may not have processed yet.
    struct Flip {
        bool pending = false;
        int state = 0;
        std::uint64_t until = 0;  // on GetTickCount64's clock
    };

    // The flip of one of the three lock keys; none for any other key, which
    // the program never drives.
    Flip* FlipOf(int virtualKey);

    std::array<Flip, kLockKeys.size()> m_flips{};
};

// The lock keys of a Wayland session, which lets no client switch them: a
// virtual keyboard made through the kernel's uinput, whose presses the
// compositor takes like any keyboard's, and whose LEDs it sets to its locks.
#pragma once

#include <array>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "lamps/keyboard_led.h"

class UinputLockKeyDriver final : public LockKeyDriver {
  public:
    // Told once, in one line, when a lamp stays dark.
    using Notice = std::function<void(std::string_view)>;

    // Opens uinputPath (/dev/uinput); the virtual keyboard itself is made at
    // the first flip. Until then the locks are read from the keyboards' LEDs
    // under ledFolder (/sys/class/leds), which every user may read.
    UinputLockKeyDriver(const char* uinputPath, std::string ledFolder, Notice notice);
    // Ends the virtual keyboard; the compositor keeps its locks.
    ~UinputLockKeyDriver() override;
    UinputLockKeyDriver(const UinputLockKeyDriver&) = delete;
    UinputLockKeyDriver& operator=(const UinputLockKeyDriver&) = delete;

    // 0 once uinputPath is open; otherwise why not (an errno), and every
    // operation reads off and flips nothing.
    int OpenError() const { return m_openError; }

    int GetLockState(int virtualKey) override;
    // Returns once the compositor has shown the flip on the virtual keyboard's
    // LED, pressing again where it shows none; a key that never flips stays
    // dark from then on, said once.
    void ToggleLock(int virtualKey) override;

  private:
    bool MakeKeyboard();
    void WaitUntilTaken();
    void Press(unsigned short key);
    // Takes in what the compositor wrote to the keyboard's LEDs, waiting up to
    // timeout for the first of it.
    void ReadLeds(std::chrono::milliseconds timeout);
    void WriteLeds(const std::array<bool, 3>& on);
    void GiveUp(std::size_t key);

    int m_fd = -1;
    int m_openError = 0;
    const std::string m_ledFolder;
    const Notice m_notice;
    bool m_made = false;
    // The compositor has written to the keyboard's LEDs since it was made.
    bool m_taken = false;
    std::chrono::steady_clock::time_point m_madeAt;
    // The virtual keyboard's LEDs as last set, and the locks as last known.
    std::array<bool, 3> m_leds{};
    std::array<bool, 3> m_locks{};
    // Which LEDs the compositor has written since the keyboard was made.
    std::array<bool, 3> m_heard{};
    std::array<bool, 3> m_dark{};
    // The worker and, at start and exit, the main thread share the keyboard.
    std::mutex m_mutex;
};

// The lock keys of one X display: XTest presses the keys, XKB reads their locks.
#pragma once

#include "lamps/keyboard_led.h"

#include <mutex>

struct _XDisplay;

class X11LockKeyDriver final : public LockKeyDriver {
  public:
    // Opens a connection of its own to displayName (nullptr: $DISPLAY), which
    // the lamps share with no toolkit. Without a display that offers XKB and
    // XTest, every operation does nothing.
    explicit X11LockKeyDriver(const char* displayName);
    ~X11LockKeyDriver() override;
    X11LockKeyDriver(const X11LockKeyDriver&) = delete;
    X11LockKeyDriver& operator=(const X11LockKeyDriver&) = delete;

    bool IsConnected() const { return m_display != nullptr; }

    int GetLockState(int virtualKey) override;
    void ToggleLock(int virtualKey) override;

  private:
    void TakeKeymapChanges();

    _XDisplay* m_display = nullptr;
    int m_xkbEventBase = 0;
    // The worker and, at start and exit, the main thread share one connection.
    std::mutex m_mutex;
};

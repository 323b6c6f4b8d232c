// The lock keys of one X display: XTest presses the keys, XKB reads their locks.
#pragma once

#include "lamps/keyboard_led.h"

#include <mutex>

struct _XDisplay;

// True in a Wayland session, told the way Qt tells it: WAYLAND_DISPLAY is set
// or XDG_SESSION_TYPE is wayland. The lock keys of XWayland there are not the
// keyboard's.
bool WaylandSession();

class X11LockKeyDriver final : public LockKeyDriver {
  public:
    // Opens a connection of its own to displayName (nullptr: $DISPLAY), since the
    // lamps exist before any toolkit. Without a display that offers XKB and
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

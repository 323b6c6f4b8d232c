// What the desktop session allows the Linux program: which Qt platform can
// start, and which driver may flip the lock keys.
#pragma once

#include "lamps/keyboard_led.h"

// True in a Wayland session, told the way Qt tells it: WAYLAND_DISPLAY is set
// or XDG_SESSION_TYPE is wayland.
bool WaylandSession();

// Before the QApplication: Qt aborts when the only platform it may try cannot
// start. With an X display to fall back on, a Wayland attempt gets X11 listed
// after it; without one, a missing Wayland plugin, an unreachable compositor
// or no session at all is said in one line on standard error, and false is
// returned.
bool ChooseQtPlatform();

// The lock keys' driver for this session, chosen once before the lamps are
// made: XTest and XKB on the X display; in a Wayland session a keyboard of
// the program's own made through uinput or, where /dev/uinput cannot be
// opened, a driver that touches nothing, which is said once on standard error.
LockKeyDriver& SessionLockKeyDriver();

// Without a tray at start-up: an XEmbed tray that starts later still gets the
// icon; under Wayland the icon needs a StatusNotifierItem host from the start.
void SayNoTray();

// What the desktop session offers the Linux program: which Qt platform can
// start, and how its lock keys are switched. SystemLockKeyDriver() is defined
// here: XTest in an X11 session, a uinput keyboard in a Wayland session.
#pragma once

// Before the QApplication: Qt aborts when the only platform it may try cannot
// start. With an X display to fall back on, a Wayland attempt gets X11 listed
// after it; without one, a missing Wayland plugin, an unreachable compositor
// or no session at all is said in one line on standard error, and false is
// returned.
bool ChooseQtPlatform();

// In a Wayland session whose user may not open /dev/uinput, says once on
// standard error why the keyboard lamps stay dark, and what grants the access.
void SayWhenKeyboardLampsStayDark();

// Without a tray at start-up: an XEmbed tray that starts later still gets the
// icon; under Wayland the icon needs a StatusNotifierItem host from the start.
void SayNoTray();

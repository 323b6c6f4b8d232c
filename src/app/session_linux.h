// What the desktop session offers the Linux program: which Qt platform can
// start, and what a Wayland session withholds.
#pragma once

// Before the QApplication: Qt aborts when the only platform it may try cannot
// start. With an X display to fall back on, a Wayland attempt gets X11 listed
// after it; without one, a missing Wayland plugin, an unreachable compositor
// or no session at all is said in one line on standard error, and false is
// returned.
bool ChooseQtPlatform();

// In a Wayland session, says once on standard error why the keyboard lamps
// stay dark.
void SayWhenKeyboardLampsStayDark();

// Without a tray at start-up: an XEmbed tray that starts later still gets the
// icon; under Wayland the icon needs a StatusNotifierItem host from the start.
void SayNoTray();

// The tray lamp icon of the Windows build: one shell notification icon, owned
// by the host window, whose picture is switched between four prepared records.
#pragma once

#include <windows.h>

#include "lamps/tray_lamp.h"

// The icon's callback message to the host window: wParam the icon's id,
// lParam the mouse message (WM_RBUTTONUP opens the menu).
inline constexpr UINT WM_TRAYNOTIFY = WM_USER + 100;

// Prepares the four records for host and adds the icon, showing Idle. Call on
// the user-interface thread before the worker starts.
void AddTrayIcon(HWND host);

// Removes the icon; call after the worker has stopped.
void RemoveTrayIcon();

// The message the shell broadcasts when it (re)creates the notification area.
// The host window answers it with AddTrayIconAgain, since an icon of the old
// shell is lost and with it the program's only menu.
UINT TaskbarCreatedMessage();

// Adds the icon again with the picture it should show now. Does nothing
// before AddTrayIcon and after RemoveTrayIcon.
void AddTrayIconAgain();

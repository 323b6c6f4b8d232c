// The tray lamp icon of the Linux build: a QSystemTrayIcon with the four
// pictures, switched on the GUI thread whichever thread asks.
#pragma once

#include <QIcon>
#include <QImage>
#include <QSystemTrayIcon>

#include "lamps/tray_lamp.h"

// Adds the program's tray icon, showing Idle with the tip "VELUMIN". Call on
// the GUI thread while the QApplication exists; a second call returns the same
// icon. The application puts its menu on the icon, which lives until
// RemoveTrayIcon.
QSystemTrayIcon& AddTrayIcon();

// Removes the icon, on the GUI thread. Switches still on their way are dropped.
void RemoveTrayIcon();

// A picture as an image in the standard palette.
QImage TrayLampImage(TrayLampState state);

// The application's window icon, with its 32 and 16 pixel images.
QIcon ApplicationIcon();

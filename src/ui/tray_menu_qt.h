// The tray icon's context menu of the Qt build and the commands behind it.
#pragma once

#include <memory>

class QMenu;
class QSystemTrayIcon;
class TrayCommands;

// The popup with its four commands (each action's objectName is its command
// id), the keyboard item checked as given.
std::unique_ptr<QMenu> CreateTrayMenu(bool keyboardLedChecked);

// Opens the menu on a right click on icon, at the pointer, with the keyboard
// item's check taken from the settings at each opening; other clicks open
// nothing. A chosen command runs through commands once the menu has closed.
void InstallTrayMenu(QSystemTrayIcon& icon, TrayCommands& commands);

// The Win32 tray menu and the Settings and About dialogs, built from the
// program's resource script.
#pragma once

#include <windows.h>

#include <string>

#include "ui/settings_form.h"

// Menu 131 loaded from the resources, with item 1015 checked exactly when
// keyboardLedOn. The caller destroys it; the popup is its position 0.
HMENU LoadTrayMenu(bool keyboardLedOn);
// Opens the tray menu at the pointer and returns once it has closed; the
// chosen command reaches owner as WM_COMMAND afterwards.
void ShowTrayMenu(HWND owner, bool keyboardLedOn);

// Runs template 137 modally on form; true (form updated) when it ended with OK.
bool ShowSettingsDialog(HWND owner, SettingsForm& form);
// Runs template 135 modally with the About text and the page its button offers.
void ShowAboutDialog(HWND owner, const std::string& aboutText, const std::string& pageUrl);

// Ends every Settings or About dialog still open, as if cancelled.
void EndOpenDialogs();

// The yes-or-no question box, captioned with the program's name; true unless
// the answer was No.
bool AskYesNo(HWND owner, const std::string& question);

// What the Win32 dialogs share among themselves, not used elsewhere.
#pragma once

#include <windows.h>

// Kept while a dialog's window exists, so that EndOpenDialogs can reach it.
void RegisterOpenDialog(HWND dialog);
void UnregisterOpenDialog(HWND dialog);

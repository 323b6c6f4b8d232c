// The hidden host window of the Windows build: the program with its tray icon
// and menu, from start-up to the stop.
#pragma once

#include <windows.h>

// Runs the host dialog (template 102) modally; returns when the program ends.
void RunHostWindow(HINSTANCE instance);

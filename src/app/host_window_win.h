// The hidden host window of the Windows build: owns the tray icon, answers its
// menu, and frames start-up and shutdown.
#pragma once

#include <windows.h>

// Runs the host dialog (template 102) modally; returns when the program ends.
void RunHostWindow(HINSTANCE instance);

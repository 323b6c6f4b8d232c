// Entry point of Velumin.exe. The process-wide lamp objects (program.cpp) are
// statics: made as the program is, and destroyed after WinMain returns.
#include <windows.h>
// windows.h first: commctrl.h relies on it.
#include <commctrl.h>

#include "app/host_window_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*show*/) {
    // The manifest asks for common controls 6, which must be loaded before a dialog is made.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    RunHostWindow(instance);
    return 0;
}

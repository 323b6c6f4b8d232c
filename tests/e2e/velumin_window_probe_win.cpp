// Plays the Windows shell and the user around Velumin.exe for the end-to-end
// tests under Wine: asks its hidden host window to close, or ends the session
// and with it the process, presses Enter and Escape on the host, loses its
// tray icon as a crashing shell does,
// announces a restarted shell, and clicks a control of a dialog known by
// another control it holds.
// Exit status 0 when done, 1 otherwise.
#include <windows.h>
// windows.h first: shellapi.h relies on it.
#include <shellapi.h>

#include <cstdlib>
#include <string>

#include "resource.h"

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    // The hidden host is the only dialog with the buttons 1011 and 1015; 1012
    // is Settings', 1009 About's, 0xFFFF a message box's.
    struct Search {
        int ids[2];
        HWND found;
    } host{{IDM_SETTINGS, IDM_KEYBOARD_LED}, nullptr},
        dialog{{argc > 2 ? std::atoi(argv[2]) : 0, 0}, nullptr};
    for (Search* search : {&host, &dialog}) {
        EnumWindows(
            [](HWND window, LPARAM parameter) -> BOOL {
                auto* s = reinterpret_cast<Search*>(parameter);
                if (GetDlgItem(window, s->ids[0]) &&
                    (!s->ids[1] || GetDlgItem(window, s->ids[1])) &&
                    (s->ids[1] || IsWindowVisible(window))) {
                    s->found = window;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(search));
    }
    // Posted: a button whose click opens a modal box would block a sent one.
    if (command == "click") {
        return dialog.found &&
                       PostMessageW(GetDlgItem(dialog.found, argc > 3 ? std::atoi(argv[3]) : 0),
                                    BM_CLICK, 0, 0)
                   ? 0
                   : 1;
    }
    const HWND hostWindow = host.found;
    DWORD process = 0;
    GetWindowThreadProcessId(hostWindow, &process);
    DWORD_PTR result = 0;
    NOTIFYICONDATAW icon{};
    icon.cbSize = NOTIFYICONDATAW_V2_SIZE;
    icon.hWnd = hostWindow;
    if (command == "keys-to-host" && hostWindow != nullptr) {
        // On Windows the menu leaves the focus on the host's first button, which
        // the dialog manager then makes the default; Wine keeps no focus in a
        // hidden window, so the default is set here.
        SendMessageW(hostWindow, DM_SETDEFID, IDM_SETTINGS, 0);
        for (const WPARAM key : {VK_RETURN, VK_ESCAPE}) {
            PostMessageW(GetDlgItem(hostWindow, IDM_SETTINGS), WM_KEYDOWN, key, 1);
            PostMessageW(GetDlgItem(hostWindow, IDM_SETTINGS), WM_KEYUP, key, 0xC0000001);
        }
        return 0;
    }
    const bool done =
        command == "close" ? hostWindow != nullptr && PostMessageW(hostWindow, WM_CLOSE, 0, 0)
        : command == "endsession"
            ? hostWindow != nullptr &&
                  SendMessageTimeoutW(hostWindow, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 30000,
                                      &result) &&
                  // As the system may: end the process as soon as the message returns.
                  TerminateProcess(OpenProcess(PROCESS_TERMINATE, FALSE, process), 0)
        : command == "lose-icon"
            ? hostWindow != nullptr && Shell_NotifyIconW(NIM_DELETE, &icon)
            : command == "taskbar-created" &&
                  SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0,
                                      0, SMTO_ABORTIFHUNG, 10000, nullptr) != 0;
    return done ? 0 : 1;
}

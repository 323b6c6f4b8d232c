// Helpers shared by the Win32 menu and dialogs: texts, the open-dialog list, the question box.
#include "ui/dialogs_win.h"

#include <algorithm>
#include <vector>

#include "base/utf16_win.h"
#include "resource.h"
#include "texts.h"
#include "ui/dialogs_win_internal.h"

namespace {

// The modal dialogs now open, so that a stop of the program can end them.
std::vector<HWND>& OpenDialogs() {
    static std::vector<HWND> dialogs;
    return dialogs;
}

}  // namespace

bool AskYesNo(HWND owner, const std::string& question) {
    const int answer =
        MessageBoxW(owner, WideFromUtf8(question).c_str(), WideFromUtf8(TEXT_APP_TITLE).c_str(),
                    MB_YESNO | MB_ICONQUESTION);
    // Only No cancels; a box that could not be shown counts as Yes.
    return answer != IDNO;
}

void RegisterOpenDialog(HWND dialog) {
    OpenDialogs().push_back(dialog);
}

void UnregisterOpenDialog(HWND dialog) {
    std::erase(OpenDialogs(), dialog);
}

void EndOpenDialogs() {
    // A copy: ending a dialog does not remove it until its window is destroyed.
    const std::vector<HWND> dialogs = OpenDialogs();
    for (HWND dialog : dialogs) {
        EndDialog(dialog, IDCANCEL);
    }
}

HMENU LoadTrayMenu(bool keyboardLedOn) {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TRAY_MENU));
    HMENU popup = GetSubMenu(menu, 0);
    ModifyMenuW(popup, IDM_KEYBOARD_LED,
                MF_BYCOMMAND | MF_STRING | (keyboardLedOn ? MF_CHECKED : MF_UNCHECKED),
                IDM_KEYBOARD_LED, WideFromUtf8(TEXT_MENU_KEYBOARD_LED).c_str());
    return menu;
}

void ShowTrayMenu(HWND owner, bool keyboardLedOn) {
    POINT pointer{};
    GetCursorPos(&pointer);
    HMENU menu = LoadTrayMenu(keyboardLedOn);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(owner);
    TrackPopupMenu(GetSubMenu(menu, 0), TPM_LEFTALIGN | TPM_RIGHTBUTTON, pointer.x, pointer.y, 0,
                   owner, nullptr);
    // Makes the menu go away properly when it is opened again right after.
    PostMessageW(owner, WM_NULL, 0, 0);
    DestroyMenu(menu);
}

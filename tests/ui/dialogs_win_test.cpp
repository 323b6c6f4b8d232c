// The Win32 menu and dialogs from this program's copy of the resources, worked
// and read back through the API under Wine.
#include "ui/dialogs_win.h"

#include "lamps/tray_lamp_win.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/utf16_win.h"
#include "resource.h"
#include "texts.h"

namespace {

// The action to run inside the next modal loop, once it is idle, on its dialog:
// a thread timer's message is dispatched only by that loop.
std::function<void(HWND)> pendingAction;
int actionsRun = 0;

void WhenOpen(std::function<void(HWND)> action) {
    pendingAction = std::move(action);
    SetTimer(nullptr, 0, 1, [](HWND, UINT, UINT_PTR timer, DWORD) {
        KillTimer(nullptr, timer);
        ++actionsRun;
        std::exchange(pendingAction, nullptr)(GetActiveWindow());
    });
}

std::wstring W(const std::string& text) {
    return WideFromUtf8(text);
}

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

bool Checked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

bool Enabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

void Click(HWND dialog, int id) {
    SendDlgItemMessageW(dialog, id, BM_CLICK, 0, 0);
}

int Selection(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
}

// Centred on its monitor's work area, and no control's text cut in the
// dialog's font (under Wine a substitute, wider than the one the layout was drawn for).
void CheckLayout(HWND dialog) {
    RECT window{};
    GetWindowRect(dialog, &window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor);
    EXPECT_NEAR(window.left + window.right, monitor.rcWork.left + monitor.rcWork.right, 4);
    EXPECT_NEAR(window.top + window.bottom, monitor.rcWork.top + monitor.rcWork.bottom, 4);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t kind[16] = {};
        GetClassNameW(child, kind, 16);
        const std::wstring text = TextOf(child);
        if (text.empty() || std::wstring(kind) == L"Edit") {
            continue;
        }
        HDC dc = GetDC(child);
        HGDIOBJ previous =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0)));
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc, previous);
        ReleaseDC(child, dc);
        RECT client{};
        GetClientRect(child, &client);
        const LONG_PTR type = GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK;
        const bool button = std::wstring(kind) == L"Button";
        const LONG frame = !button                   ? 0
                           : type == BS_AUTOCHECKBOX ? GetSystemMetrics(SM_CXMENUCHECK) + 4
                           : type == BS_GROUPBOX     ? 16
                                                     : 0;
        EXPECT_LE(size.cx, client.right - frame)
            << "text of control " << GetDlgCtrlID(child) << " is cut";
    }
}

TEST(SettingsDialogWin, OkStoresEveryControlAndOddValuesShowAsNone) {
    SettingsForm form{0, 1, 2, 1, 19, 1, 0};
    WhenOpen([](HWND dialog) {
        EXPECT_EQ(TextOf(dialog), W(TEXT_SETTINGS_TITLE));
        CheckLayout(dialog);
        EXPECT_EQ(Selection(dialog, IDC_RECEIVE_LIST), 2) << "greyed but still showing its key";
        EXPECT_FALSE(Enabled(dialog, IDC_RECEIVE_LIST));
        Click(dialog, IDC_RECEIVE_CHECK);
        EXPECT_TRUE(Enabled(dialog, IDC_RECEIVE_LIST));
        Click(dialog, IDC_SEND_CHECK);  // greys the send list, whose choice still counts
        EXPECT_FALSE(Enabled(dialog, IDC_SEND_LIST));
        SendDlgItemMessageW(dialog, IDC_SEND_LIST, CB_SETCURSEL, 0, 0);
        Click(dialog, IDC_USE_SERIAL_CHECK);  // greys nothing
        EXPECT_TRUE(Enabled(dialog, IDC_PORT_LIST) && Enabled(dialog, IDC_INVERSION_CHECK));
        Click(dialog, IDC_INVERSION_CHECK);
        SendDlgItemMessageW(dialog, IDC_PORT_LIST, CB_SETCURSEL, 4, 0);
        Click(dialog, IDC_SETTINGS_OK);
    });
    ASSERT_TRUE(ShowSettingsDialog(nullptr, form));
    EXPECT_EQ(form, (SettingsForm{1, 0, 2, 0, 4, 0, 1}));

    form = SettingsForm{2, 1, 0, 0, 20, 7, 1};  // SerialPortNum 21 and a flag 2 from the file
    WhenOpen([](HWND dialog) {
        EXPECT_EQ(Selection(dialog, IDC_PORT_LIST), -1);
        EXPECT_FALSE(Checked(dialog, IDC_RECEIVE_CHECK) || Enabled(dialog, IDC_RECEIVE_LIST));
        Click(dialog, IDC_SETTINGS_OK);
    });
    ASSERT_TRUE(ShowSettingsDialog(nullptr, form));
    EXPECT_EQ(form, (SettingsForm{0, 1, 0, 0, -1, 0, 1}));
}

// Enter right after opening presses the focused Cancel, each tab stop follows in
// the template's order, and Enter on a box is OK.
TEST(SettingsDialogWin, OpensWithTheFocusOnCancelAndEnterOnABoxIsOk) {
    for (const bool onBox : {false, true}) {
        SettingsForm form{};
        WhenOpen([onBox](HWND dialog) {
            std::vector<int> chain;
            for (HWND c = GetFocus(); chain.size() < 8; c = GetNextDlgTabItem(dialog, c, FALSE)) {
                chain.push_back(GetDlgCtrlID(c));
            }
            EXPECT_EQ(chain, (std::vector<int>{IDCANCEL, IDC_SETTINGS_OK, IDC_RECEIVE_CHECK,
                                               IDC_SEND_CHECK, IDC_PORT_LIST, IDC_USE_SERIAL_CHECK,
                                               IDC_INVERSION_CHECK, IDCANCEL}))
                << "the greyed key lists are no tab stops";
            if (onBox) {
                Click(dialog, IDC_INVERSION_CHECK);
            }
            PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
        });
        EXPECT_EQ(ShowSettingsDialog(nullptr, form), onBox);
        EXPECT_EQ(form.m_ledInversion, onBox ? 1 : 0);
    }
}

TEST(AboutDialogWin, ShowsItsTextReadOnly) {
    const int before = actionsRun;
    WhenOpen([](HWND dialog) {
        EXPECT_EQ(TextOf(dialog), W(TEXT_ABOUT_TITLE));
        CheckLayout(dialog);
        HWND text = GetDlgItem(dialog, IDC_ABOUT_TEXT);
        EXPECT_EQ(TextOf(text), L"Velumin\r\nline two\r\n");
        EXPECT_NE(GetWindowLongPtrW(text, GWL_STYLE) & ES_READONLY, 0);
        EXPECT_EQ(GetWindowLongPtrW(text, GWL_STYLE) & (WS_BORDER | WS_VSCROLL), 0);
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK));
        Click(dialog, IDOK);
    });
    ShowAboutDialog(nullptr, "Velumin\r\nline two\r\n", TEXT_PAGE_URL);
    EXPECT_EQ(actionsRun, before + 1);
}

// The items and their access keys are worked in the end-to-end runs.
TEST(TrayMenuWin, CheckFollowsTheSwitch) {
    for (const bool on : {true, false}) {
        HMENU menu = LoadTrayMenu(on);
        EXPECT_EQ((GetMenuState(menu, IDM_KEYBOARD_LED, MF_BYCOMMAND) & MF_CHECKED) != 0, on);
        DestroyMenu(menu);
    }
}

// The shell answers a change of the icon only while it has the icon.
TEST(TrayLampWin, RemoveTakesTheIconAwayAndAShellRestartBringsItBackUntilThen) {
    HWND host =
        CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    NOTIFYICONDATAW icon{};
    icon.cbSize = NOTIFYICONDATAW_V2_SIZE;
    icon.hWnd = host;
    const auto shown = [&icon] { return Shell_NotifyIconW(NIM_MODIFY, &icon) != FALSE; };
    WinTrayLamp lamp(host);
    lamp.Add();
    EXPECT_TRUE(shown());
    Shell_NotifyIconW(NIM_DELETE, &icon);  // lost with the shell
    lamp.AddAgain();
    EXPECT_TRUE(shown());
    lamp.Remove();
    EXPECT_FALSE(shown());
    lamp.AddAgain();
    EXPECT_FALSE(shown());
    DestroyWindow(host);
}

}  // namespace

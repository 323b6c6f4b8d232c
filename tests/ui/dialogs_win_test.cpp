// The Win32 menu and dialogs from this program's copy of the resources
// (Velumin.exe links the same), read back and worked under Wine.
#include "ui/dialogs_win.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "resource.h"

namespace {

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

// The menu's items as a user reads them, each after its command.
std::wstring MenuReading(bool keyboardLedOn) {
    HMENU menu = LoadTrayMenu(keyboardLedOn);
    HMENU popup = GetSubMenu(menu, 0);
    std::wstring items;
    for (UINT i = 0; i < UINT(GetMenuItemCount(popup)); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(popup, i, text, 64, MF_BYPOSITION);
        items += L"|" + std::to_wstring(GetMenuItemID(popup, int(i))) +
                 (GetMenuState(popup, i, MF_BYPOSITION) & MF_CHECKED ? L" ✓" : L" ") + text;
    }
    DestroyMenu(menu);
    return items;
}

// A dialog as it opens: its title, then each control's text after its id.
std::wstring DialogReading(int id) {
    HWND dialog = CreateDialogParamW(
        nullptr, MAKEINTRESOURCEW(id), nullptr,
        [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    std::wstring texts = TextOf(dialog);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        texts += L"|" + std::to_wstring(GetDlgCtrlID(child)) + L" " + TextOf(child);
    }
    DestroyWindow(dialog);
    return texts;
}

TEST(ResourcesWin, SayWhatAUserReads) {
    EXPECT_EQ(MenuReading(false),
              L"|1011 設定(&S)|0 |1015 キーボードLED使用|0 |1006 "
              L"このプログラムについて(&A)|1005 終了(&X)");
    EXPECT_EQ(MenuReading(true),
              L"|1011 設定(&S)|0 |1015 ✓キーボードLED使用|0 |1006 "
              L"このプログラムについて(&A)|1005 終了(&X)");
    EXPECT_EQ(
        DialogReading(IDD_SETTINGS),
        L"設定|2 ｷｬﾝｾﾙ|1010 OK|-1 キーボードLED設定|1012 受信時にLEDを光らせる|"
        L"1013 送信時にLEDを光らせる|1014 |1015 |-1 LED種類|-1 LED種類|-1 シリアルポートLED設定|"
        L"1021 |-1 ポート番号|1023 シリアルポートLEDを使う|1024 LEDの点滅パターンを反転");
    EXPECT_EQ(DialogReading(IDD_ABOUT), L"このプログラムについて|1 OK|1007 作者Webページ|1009 ");
}

// The action to run inside the next modal loop, once it is idle, on its dialog:
// a thread timer's message is dispatched only by that loop.
std::function<void(HWND)> pendingAction;

void WhenOpen(std::function<void(HWND)> action) {
    pendingAction = std::move(action);
    SetTimer(nullptr, 0, 1, [](HWND, UINT, UINT_PTR timer, DWORD) {
        KillTimer(nullptr, timer);
        std::exchange(pendingAction, nullptr)(GetActiveWindow());
    });
}

void Click(HWND dialog, int id) {
    SendDlgItemMessageW(dialog, id, BM_CLICK, 0, 0);
}

TEST(SettingsDialogWin, EnterOnOpeningCancelsAndOkStoresEveryControlGreyedOrNot) {
    SettingsForm form{0, 1, 2, 1, 19, 1, 0};
    WhenOpen([](HWND) { PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0); });
    EXPECT_FALSE(ShowSettingsDialog(nullptr, form)) << "Enter right after opening saved";

    // SerialPortNum 21 and flags other than 1 from the file show as none; the
    // key lists follow their boxes, a greyed one's choice counts too, and Enter
    // on a box is OK.
    form = SettingsForm{2, 1, 2, 1, 20, 7, 1};
    WhenOpen([](HWND dialog) {
        EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_PORT_LIST, CB_GETCURSEL, 0, 0), -1);
        Click(dialog, IDC_RECEIVE_CHECK);
        Click(dialog, IDC_SEND_CHECK);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_RECEIVE_LIST)) &&
                    !IsWindowEnabled(GetDlgItem(dialog, IDC_SEND_LIST)));
        SendDlgItemMessageW(dialog, IDC_SEND_LIST, CB_SETCURSEL, 0, 0);
        SendDlgItemMessageW(dialog, IDC_PORT_LIST, CB_SETCURSEL, 4, 0);
        Click(dialog, IDC_INVERSION_CHECK);
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
    });
    ASSERT_TRUE(ShowSettingsDialog(nullptr, form));
    EXPECT_EQ(form, (SettingsForm{1, 0, 2, 0, 4, 0, 0}));
}

}  // namespace

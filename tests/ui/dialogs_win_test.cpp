// The Win32 menu, dialogs and resources from this program's copy of the
// resources (Velumin.exe links the same), read back and worked under Wine.
#include "ui/dialogs_win.h"

#include "lamps/tray_lamp_win.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "resource.h"
#include "texts.h"

namespace {

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

// A resource's bytes, if it is in Japanese, the language the program is built
// in, and in no other; empty otherwise.
std::string JapaneseResource(LPCWSTR type, int id) {
    std::vector<WORD> languages;
    EnumResourceLanguagesW(
        nullptr, type, MAKEINTRESOURCEW(id),
        [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR list) -> BOOL {
            reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&languages));
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
    if (languages != std::vector<WORD>{MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)} || !found) {
        return "";
    }
    return std::string(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                       SizeofResource(nullptr, found));
}

// The menu's items as a user reads them, each after its command.
std::wstring MenuReading(bool keyboardLedOn) {
    HMENU menu = LoadTrayMenu(keyboardLedOn);
    HMENU popup = GetSubMenu(menu, 0);
    std::wstring items = JapaneseResource(RT_MENU, IDR_TRAY_MENU).empty() ? L"not Japanese" : L"";
    for (UINT i = 0; i < UINT(GetMenuItemCount(popup)); ++i) {
        wchar_t text[64] = {};
        GetMenuStringW(popup, i, text, 64, MF_BYPOSITION);
        items += L"|" + std::to_wstring(GetMenuItemID(popup, int(i))) +
                 (GetMenuState(popup, i, MF_BYPOSITION) & MF_CHECKED ? L" ✓" : L" ") + text;
    }
    DestroyMenu(menu);
    return items;
}

// A dialog as it opens: its title, then each control's text after its id in
// the template's order, marked where the text does not fit in the dialog's font
// (under Wine a substitute, wider than the one the layout was drawn for).
std::wstring DialogReading(int id) {
    HWND dialog = CreateDialogParamW(
        nullptr, MAKEINTRESOURCEW(id), nullptr,
        [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    RECT window{};
    GetWindowRect(dialog, &window);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    std::wstring texts = TextOf(dialog);
    if (std::abs(window.left + window.right - work.left - work.right) > 4 ||
        std::abs(window.top + window.bottom - work.top - work.bottom) > 4) {
        texts += L" (not centred)";
    }
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring text = TextOf(child);
        HDC dc = GetDC(child);
        SelectObject(dc, HFONT(SendMessageW(child, WM_GETFONT, 0, 0)));
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
        ReleaseDC(child, dc);
        RECT box{};
        GetClientRect(child, &box);
        // A check box's text comes after its box, a group's inside its frame.
        const LONG_PTR type = GetWindowLongPtrW(child, GWL_STYLE) & BS_TYPEMASK;
        box.right -= type == BS_AUTOCHECKBOX ? GetSystemMetrics(SM_CXMENUCHECK) + 4
                     : type == BS_GROUPBOX   ? 16
                                             : 0;
        texts += L"|" + std::to_wstring(GetDlgCtrlID(child)) + L" " + text +
                 (size.cx > box.right ? L" (cut)" : L"");
    }
    DestroyWindow(dialog);
    return JapaneseResource(RT_DIALOG, id).empty() ? L"not Japanese" : texts;
}

// The version block as the file's properties show it: the file's and the
// product's numbers, the translation, and the strings of the block it names.
std::wstring VersionReading() {
    std::string block = JapaneseResource(RT_VERSION, 1);
    const auto query = [&block](const std::wstring& key) {
        void* value = nullptr;
        UINT length = 0;
        return VerQueryValueW(block.data(), key.c_str(), &value, &length) ? value : nullptr;
    };
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(query(L"\\"));
    const auto* language = static_cast<const WORD*>(query(L"\\VarFileInfo\\Translation"));
    if (block.empty() || fixed == nullptr || language == nullptr) {
        return L"none in Japanese";
    }
    wchar_t numbers[40] = {};
    swprintf(numbers, 40, L"%lx.%lx %lx.%lx %04x%04x", fixed->dwFileVersionMS,
             fixed->dwFileVersionLS, fixed->dwProductVersionMS, fixed->dwProductVersionLS,
             language[0], language[1]);
    std::wstring reading = numbers;
    const std::wstring strings = L"\\StringFileInfo\\" + reading.substr(reading.size() - 8) + L"\\";
    for (const wchar_t* name : {L"FileDescription", L"FileVersion", L"ProductName",
                                L"ProductVersion", L"OriginalFilename"}) {
        const auto* text = static_cast<const wchar_t*>(query(strings + name));
        reading += L"|" + std::wstring(text != nullptr ? text : L"none");
    }
    return reading;
}

TEST(ResourcesWin, SayWhatAUserReadsInJapanese) {
    const std::pair<std::wstring, std::wstring> readings[] = {
        {MenuReading(false),
         L"|1011 設定(&S)|0 |1015 キーボードLED使用|0 |1006 このプログラムについて(&A)|1005 "
         L"終了(&X)"},
        {MenuReading(true),
         L"|1011 設定(&S)|0 |1015 ✓キーボードLED使用|0 |1006 このプログラムについて(&A)|1005 "
         L"終了(&X)"},
        {DialogReading(IDD_SETTINGS),
         L"設定|2 ｷｬﾝｾﾙ|1010 OK|-1 キーボードLED設定|1012 受信時にLEDを光らせる|"
         L"1013 送信時にLEDを光らせる|1014 |1015 |-1 LED種類|-1 LED種類|-1 シリアルポートLED設定|"
         L"1021 |-1 ポート番号|1023 シリアルポートLEDを使う|1024 LEDの点滅パターンを反転"},
        {DialogReading(IDD_ABOUT), L"このプログラムについて|1 OK|1007 作者Webページ|1009 "},
        {VersionReading(),
         L"10000.1 10000.1 041104b0|Velumin|1, 0, 0, 1|Velumin|1, 0, 0, 1|Velumin.EXE"},
    };
    for (const auto& [reading, expected] : readings) {
        EXPECT_EQ(reading, expected);
    }
    const std::string manifest = JapaneseResource(RT_MANIFEST, 1);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    // Each icon's first image is the first image of its file in res/icons.
    for (const auto& [id, name] : {std::pair{IDI_VELUMIN, "velumin"},
                                   {IDI_LAMP_SEND, "send"},
                                   {IDI_LAMP_IDLE, "idle"},
                                   {IDI_LAMP_RECEIVE, "receive"},
                                   {IDI_LAMP_BOTH, "both"}}) {
        std::ifstream in(std::filesystem::path(VELUMIN_SOURCE_DIR "/res/icons") / name += ".ico",
                         std::ios::binary);
        const std::string file{std::istreambuf_iterator<char>(in), {}};
        const std::string group = JapaneseResource(RT_GROUP_ICON, id);
        ASSERT_TRUE(group.size() >= 20 && file.size() >= 22) << name;
        const std::string image =
            JapaneseResource(RT_ICON, *reinterpret_cast<const WORD*>(&group[18]));
        EXPECT_EQ(image, file.substr(*reinterpret_cast<const DWORD*>(&file[18]), image.size()))
            << name;
    }
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

bool Enabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

void Click(HWND dialog, int id) {
    SendDlgItemMessageW(dialog, id, BM_CLICK, 0, 0);
}

// A list's selection, then its entries.
std::wstring ListReading(HWND dialog, int id) {
    std::wstring entries = std::to_wstring(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
    for (int i = 0; i < int(SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0)); ++i) {
        wchar_t text[64] = {};
        SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, WPARAM(i), LPARAM(text));
        entries += L"|" + std::wstring(text);
    }
    return entries;
}

TEST(SettingsDialogWin, OpensOnCancelInTabOrderAndOkStoresEveryControlGreyedOrNot) {
    SettingsForm form{0, 1, 2, 1, 19, 1, 0};
    // A greyed list still shows its choice and is no tab stop; Enter right after
    // opening presses the focused Cancel.
    WhenOpen([](HWND dialog) {
        EXPECT_EQ(ListReading(dialog, IDC_RECEIVE_LIST), L"2|CapsLock|ScrollLock|NumLock");
        std::wstring ports = L"19";
        for (int port = 1; port <= 20; ++port) {
            ports += L"|COM" + std::to_wstring(port);
        }
        EXPECT_EQ(ListReading(dialog, IDC_PORT_LIST), ports);
        std::vector<int> chain;
        for (HWND c = GetFocus(); chain.size() < 9; c = GetNextDlgTabItem(dialog, c, FALSE)) {
            chain.push_back(GetDlgCtrlID(c));
        }
        EXPECT_EQ(chain, (std::vector<int>{IDCANCEL, IDC_SETTINGS_OK, IDC_RECEIVE_CHECK,
                                           IDC_SEND_CHECK, IDC_SEND_LIST, IDC_PORT_LIST,
                                           IDC_USE_SERIAL_CHECK, IDC_INVERSION_CHECK, IDCANCEL}));
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
    });
    EXPECT_FALSE(ShowSettingsDialog(nullptr, form));

    // SerialPortNum 21 and flags other than 1 from the file show as none; the
    // key lists follow their boxes, a greyed one's choice counts too, and Enter
    // on a box is OK.
    form = SettingsForm{2, 1, 2, 1, 20, 7, 1};
    WhenOpen([](HWND dialog) {
        EXPECT_EQ(ListReading(dialog, IDC_PORT_LIST).substr(0, 3), L"-1|");
        Click(dialog, IDC_RECEIVE_CHECK);
        Click(dialog, IDC_SEND_CHECK);
        EXPECT_TRUE(Enabled(dialog, IDC_RECEIVE_LIST) && !Enabled(dialog, IDC_SEND_LIST));
        SendDlgItemMessageW(dialog, IDC_SEND_LIST, CB_SETCURSEL, 0, 0);
        SendDlgItemMessageW(dialog, IDC_PORT_LIST, CB_SETCURSEL, 4, 0);
        Click(dialog, IDC_USE_SERIAL_CHECK);  // greys nothing
        EXPECT_TRUE(Enabled(dialog, IDC_PORT_LIST) && Enabled(dialog, IDC_INVERSION_CHECK));
        Click(dialog, IDC_INVERSION_CHECK);
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
    });
    ASSERT_TRUE(ShowSettingsDialog(nullptr, form));
    EXPECT_EQ(form, (SettingsForm{1, 0, 2, 0, 4, 1, 0}));
}

TEST(AboutDialogWin, ShowsItsTextUnframedAndReadOnlyWithTheFocusOnOk) {
    bool shown = false;
    WhenOpen([&shown](HWND dialog) {
        shown = true;
        HWND text = GetDlgItem(dialog, IDC_ABOUT_TEXT);
        SendMessageW(text, WM_CHAR, L'x', 1);
        EXPECT_EQ(TextOf(text), L"Velumin\r\nline two\r\n");
        EXPECT_EQ(GetWindowLongPtrW(text, GWL_STYLE) & (WS_BORDER | WS_VSCROLL), 0);
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK));
        Click(dialog, IDOK);
    });
    ShowAboutDialog(nullptr, "Velumin\r\nline two\r\n", TEXT_PAGE_URL);
    EXPECT_TRUE(shown);
}

// The shell answers a change of the icon only while it has the icon: a shell
// restart brings it back until Remove, and not after.
TEST(TrayLampWin, ComesBackAfterAShellRestartUntilRemoved) {
    HWND host =
        CreateWindowW(L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    NOTIFYICONDATAW icon{};
    icon.cbSize = NOTIFYICONDATAW_V2_SIZE;
    icon.hWnd = host;
    WinTrayLamp lamp(host);
    lamp.Add();
    for (const bool removed : {false, true}) {
        Shell_NotifyIconW(NIM_DELETE, &icon);  // lost with the shell
        lamp.AddAgain();
        EXPECT_EQ(Shell_NotifyIconW(NIM_MODIFY, &icon) != FALSE, !removed);
        lamp.Remove();
    }
    DestroyWindow(host);
}

}  // namespace

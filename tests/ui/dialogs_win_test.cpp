// The Win32 menu and dialogs read back through the API, from this program's copy of the resources.
#include "ui/dialogs_win.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "resource.h"
#include "texts.h"

namespace {

// The action to run once the modal loop of the dialog under test is idle.
std::function<void(HWND)> pendingAction;
// For a box opened over a dialog: the dialog, which stays active until the box is up.
HWND pendingOwner = nullptr;
int actionsRun = 0;

// The dialog or message box that this thread's modal loop is running: the active window.
HWND FindThreadDialog() {
    HWND active = GetActiveWindow();
    wchar_t name[16] = {};
    GetClassNameW(active, name, 16);
    return std::wstring(name) == L"#32770" ? active : nullptr;
}

void CALLBACK RunPendingAction(HWND /*window*/, UINT /*message*/, UINT_PTR timer, DWORD /*time*/) {
    HWND dialog = FindThreadDialog();
    if (pendingOwner != nullptr && (dialog == nullptr || dialog == pendingOwner)) {
        return;  // the box's loop runs, but the box is not active yet: the timer fires again
    }
    KillTimer(nullptr, timer);
    pendingOwner = nullptr;
    auto action = std::move(pendingAction);
    pendingAction = nullptr;
    if (dialog == nullptr) {
        ADD_FAILURE() << "no dialog open";
        return;
    }
    ++actionsRun;
    action(dialog);
}

// Arms action to run inside the next modal loop; the caller then opens the dialog. A
// thread timer's message is only dispatched by that loop, after the dialog exists.
void WhenOpen(std::function<void(HWND)> action) {
    pendingAction = std::move(action);
    SetTimer(nullptr, 0, 1, RunPendingAction);
}

// The same for a message box that owner opens: runs once the box, not owner, is active.
void WhenOpenOver(HWND owner, std::function<void(HWND)> action) {
    pendingOwner = owner;
    WhenOpen(std::move(action));
}

// Every test checks that its actions really ran inside the dialog: a dialog
// that failed to open would otherwise pass every expectation about Cancel.
class DialogTest : public testing::Test {
  protected:
    void SetUp() override { actionsRun = 0; }
    void ExpectActionsRun(int count) { EXPECT_EQ(actionsRun, count) << "dialog did not open"; }
};

std::wstring W(const std::string& text) {
    return WideFromUtf8(text);
}

std::wstring WindowText(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

LONG_PTR StyleOf(HWND window) {
    return GetWindowLongPtrW(window, GWL_STYLE);
}

std::vector<std::wstring> ListEntries(HWND dialog, int id) {
    std::vector<std::wstring> entries;
    const auto count = SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[64] = {};
        SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(i),
                            reinterpret_cast<LPARAM>(text));
        entries.emplace_back(text);
    }
    return entries;
}

int Selection(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
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

// The dialog sits in the middle of the work area of its monitor.
void ExpectCentred(HWND dialog) {
    RECT window{};
    GetWindowRect(dialog, &window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    EXPECT_NEAR((window.left + window.right) / 2, (work.left + work.right) / 2, 2);
    EXPECT_NEAR((window.top + window.bottom) / 2, (work.top + work.bottom) / 2, 2);
}

void ExpectModalFrameWithCloseBox(HWND dialog) {
    const LONG_PTR style = StyleOf(dialog);
    EXPECT_EQ(style & WS_POPUP, WS_POPUP);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_EQ(style & WS_SYSMENU, WS_SYSMENU);
    EXPECT_EQ(style & DS_MODALFRAME, DS_MODALFRAME);
}

// No control's text is cut: each fits its control in the dialog's own font (under
// Wine a substitute, wider than the font the layout was first drawn for).
void ExpectTextsFit(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring text = WindowText(child);
        if (text.empty() || ClassOf(child) == L"Edit") {
            continue;
        }
        HDC dc = GetDC(child);
        auto* font = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0));
        HGDIOBJ previous = SelectObject(dc, font);
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc, previous);
        ReleaseDC(child, dc);
        RECT client{};
        GetClientRect(child, &client);
        LONG room = client.right;
        const LONG_PTR type = StyleOf(child) & BS_TYPEMASK;
        if (ClassOf(child) == L"Button" && type == BS_AUTOCHECKBOX) {
            room -= GetSystemMetrics(SM_CXMENUCHECK) + 4;  // the box and its gap
        } else if (ClassOf(child) == L"Button" && type == BS_GROUPBOX) {
            room -= 16;  // the frame's corner on either side
        }
        EXPECT_LE(size.cx, room) << "text of control " << GetDlgCtrlID(child) << " is cut";
    }
}

struct ControlRow {
    int id;
    const wchar_t* className;
    std::string text;
    LONG_PTR type;  // the low style bits that give the kind of control
    bool tabStop;
};

// Walks the children in creation order, which is the template's and the tab order.
void ExpectControls(HWND dialog, const std::vector<ControlRow>& rows) {
    HWND child = GetWindow(dialog, GW_CHILD);
    for (const ControlRow& row : rows) {
        ASSERT_NE(child, nullptr) << "missing control " << row.id;
        SCOPED_TRACE("control " + std::to_string(row.id));
        EXPECT_EQ(GetDlgCtrlID(child), row.id);
        EXPECT_EQ(_wcsicmp(ClassOf(child).c_str(), row.className), 0);
        if (ClassOf(child) != L"ComboBox" && ClassOf(child) != L"Edit") {
            EXPECT_EQ(WindowText(child), W(row.text));
        }
        EXPECT_EQ((StyleOf(child) & WS_TABSTOP) != 0, row.tabStop);
        if (ClassOf(child) == L"Button") {
            // The dialog manager makes the focused push button the default one.
            const bool focusedDefault = child == GetFocus() && row.type == BS_PUSHBUTTON;
            EXPECT_EQ(StyleOf(child) & BS_TYPEMASK, focusedDefault ? BS_DEFPUSHBUTTON : row.type);
        } else if (ClassOf(child) == L"ComboBox") {
            EXPECT_EQ(StyleOf(child) & 0x3, row.type);
            EXPECT_EQ(StyleOf(child) & CBS_SORT, 0);
        } else if (ClassOf(child) == L"Static") {
            EXPECT_EQ(StyleOf(child) & SS_TYPEMASK, row.type);
            EXPECT_EQ(StyleOf(child) & WS_GROUP, WS_GROUP);
        }
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(child, nullptr) << "more controls than the template has";
}

using SettingsDialogWin = DialogTest;
using AboutDialogWin = DialogTest;

const std::vector<ControlRow> kSettingsRows = {
    {IDCANCEL, L"Button", TEXT_SETTINGS_CANCEL, BS_PUSHBUTTON, true},
    {IDC_SETTINGS_OK, L"Button", TEXT_SETTINGS_OK, BS_PUSHBUTTON, true},
    {-1, L"Button", TEXT_KEYBOARD_GROUP, BS_GROUPBOX, false},
    {IDC_RECEIVE_CHECK, L"Button", TEXT_RECEIVE_CHECK, BS_AUTOCHECKBOX, true},
    {IDC_SEND_CHECK, L"Button", TEXT_SEND_CHECK, BS_AUTOCHECKBOX, true},
    {IDC_RECEIVE_LIST, L"ComboBox", "", CBS_DROPDOWNLIST, true},
    {IDC_SEND_LIST, L"ComboBox", "", CBS_DROPDOWNLIST, true},
    {-1, L"Static", TEXT_LED_TYPE, SS_LEFT, false},
    {-1, L"Static", TEXT_LED_TYPE, SS_LEFT, false},
    {-1, L"Button", TEXT_SERIAL_GROUP, BS_GROUPBOX, false},
    {IDC_PORT_LIST, L"ComboBox", "", CBS_DROPDOWNLIST, true},
    {-1, L"Static", TEXT_PORT_NUMBER, SS_LEFT, false},
    {IDC_USE_SERIAL_CHECK, L"Button", TEXT_USE_SERIAL, BS_AUTOCHECKBOX, true},
    {IDC_INVERSION_CHECK, L"Button", TEXT_INVERT, BS_AUTOCHECKBOX, true},
};

SettingsForm SampleForm() {
    SettingsForm form;
    form.m_useReceiveLed = 0;
    form.m_useSendLed = 1;
    form.m_receiveLedIndex = 2;
    form.m_sendLedIndex = 1;
    form.m_serialPortIndex = 19;
    form.m_useSerialLed = 1;
    form.m_ledInversion = 0;
    return form;
}

TEST_F(SettingsDialogWin, ShowsTheTemplateWithItsListsValuesAndFocus) {
    SettingsForm form = SampleForm();
    WhenOpen([](HWND dialog) {
        EXPECT_EQ(WindowText(dialog), W(TEXT_SETTINGS_TITLE));
        ExpectModalFrameWithCloseBox(dialog);
        ExpectCentred(dialog);
        ExpectControls(dialog, kSettingsRows);
        ExpectTextsFit(dialog);
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDCANCEL));

        const std::vector<std::wstring> keys = {L"CapsLock", L"ScrollLock", L"NumLock"};
        EXPECT_EQ(ListEntries(dialog, IDC_RECEIVE_LIST), keys);
        EXPECT_EQ(ListEntries(dialog, IDC_SEND_LIST), keys);
        std::vector<std::wstring> ports;
        for (int n = 1; n <= 20; ++n) {
            ports.push_back(L"COM" + std::to_wstring(n));
        }
        EXPECT_EQ(ListEntries(dialog, IDC_PORT_LIST), ports);

        // Values in, and the key list of an unchecked box greyed but still showing its key.
        EXPECT_FALSE(Checked(dialog, IDC_RECEIVE_CHECK));
        EXPECT_TRUE(Checked(dialog, IDC_SEND_CHECK));
        EXPECT_EQ(Selection(dialog, IDC_RECEIVE_LIST), 2);
        EXPECT_EQ(Selection(dialog, IDC_SEND_LIST), 1);
        EXPECT_EQ(Selection(dialog, IDC_PORT_LIST), 19);
        EXPECT_TRUE(Checked(dialog, IDC_USE_SERIAL_CHECK));
        EXPECT_FALSE(Checked(dialog, IDC_INVERSION_CHECK));
        EXPECT_FALSE(Enabled(dialog, IDC_RECEIVE_LIST));
        EXPECT_NE(StyleOf(GetDlgItem(dialog, IDC_RECEIVE_LIST)) & WS_VISIBLE, 0);
        EXPECT_TRUE(Enabled(dialog, IDC_SEND_LIST));

        // The enabling rule follows the boxes; the serial box greys nothing.
        Click(dialog, IDC_RECEIVE_CHECK);
        EXPECT_TRUE(Enabled(dialog, IDC_RECEIVE_LIST));
        Click(dialog, IDC_SEND_CHECK);
        EXPECT_FALSE(Enabled(dialog, IDC_SEND_LIST));
        EXPECT_EQ(Selection(dialog, IDC_SEND_LIST), 1);
        Click(dialog, IDC_USE_SERIAL_CHECK);
        EXPECT_TRUE(Enabled(dialog, IDC_PORT_LIST));
        EXPECT_TRUE(Enabled(dialog, IDC_INVERSION_CHECK));
        Click(dialog, IDCANCEL);
    });
    EXPECT_FALSE(ShowSettingsDialog(nullptr, form));
    ExpectActionsRun(1);
    EXPECT_EQ(form.m_useReceiveLed, 0) << "Cancel exchanges nothing";
    EXPECT_EQ(form.m_useSerialLed, 1);
}

TEST_F(SettingsDialogWin, OkStoresEveryControlIncludingAGreyedList) {
    SettingsForm form = SampleForm();
    WhenOpen([](HWND dialog) {
        Click(dialog, IDC_SEND_CHECK);  // greys list 1015, whose choice still counts
        SendDlgItemMessageW(dialog, IDC_SEND_LIST, CB_SETCURSEL, 0, 0);
        Click(dialog, IDC_RECEIVE_CHECK);
        SendDlgItemMessageW(dialog, IDC_PORT_LIST, CB_SETCURSEL, 4, 0);
        Click(dialog, IDC_USE_SERIAL_CHECK);
        Click(dialog, IDC_INVERSION_CHECK);
        Click(dialog, IDC_SETTINGS_OK);
    });
    ASSERT_TRUE(ShowSettingsDialog(nullptr, form));
    ExpectActionsRun(1);
    EXPECT_EQ(form.m_useReceiveLed, 1);
    EXPECT_EQ(form.m_useSendLed, 0);
    EXPECT_EQ(form.m_receiveLedIndex, 2);
    EXPECT_EQ(form.m_sendLedIndex, 0);
    EXPECT_EQ(form.m_serialPortIndex, 4);
    EXPECT_EQ(form.m_useSerialLed, 0);
    EXPECT_EQ(form.m_ledInversion, 1);
}

TEST_F(SettingsDialogWin, PortOutsideTheListShowsNoneAndOkGivesMinusOne) {
    SettingsForm form = SampleForm();
    form.m_serialPortIndex = 20;  // SerialPortNum 21 from the ini file
    form.m_useSendLed = 2;        // an out-of-range flag shows as off
    WhenOpen([](HWND dialog) {
        EXPECT_EQ(Selection(dialog, IDC_PORT_LIST), -1);
        EXPECT_FALSE(Checked(dialog, IDC_SEND_CHECK));
        EXPECT_FALSE(Enabled(dialog, IDC_SEND_LIST));
        Click(dialog, IDC_SETTINGS_OK);
    });
    ASSERT_TRUE(ShowSettingsDialog(nullptr, form));
    ExpectActionsRun(1);
    EXPECT_EQ(form.m_serialPortIndex, -1);
    EXPECT_EQ(form.m_useSendLed, 0);
}

// Enter right after opening presses the focused Cancel; Escape and the close box cancel too.
TEST_F(SettingsDialogWin, EnterEscapeAndCloseBoxChangeNothing) {
    const std::vector<std::function<void(HWND)>> endings = {
        [](HWND /*dialog*/) { PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0); },
        [](HWND dialog) {
            Click(dialog, IDC_RECEIVE_CHECK);
            PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
        },
        [](HWND dialog) {
            Click(dialog, IDC_RECEIVE_CHECK);
            SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        },
    };
    for (std::size_t i = 0; i < endings.size(); ++i) {
        SettingsForm form = SampleForm();
        WhenOpen(endings[i]);
        EXPECT_FALSE(ShowSettingsDialog(nullptr, form)) << "ending " << i;
        EXPECT_EQ(form.m_useReceiveLed, 0) << "ending " << i;
    }
    ExpectActionsRun(3);
}

const std::string kAboutText =
    "Velumin Version" TEXT_VERSION "\r\n" TEXT_AUTHORSHIP "\r\n\r\n" TEXT_SITE_URL "\r\n";

TEST_F(AboutDialogWin, ShowsTheTemplateTextAndFocus) {
    WhenOpen([](HWND dialog) {
        EXPECT_EQ(WindowText(dialog), W(TEXT_ABOUT_TITLE));
        ExpectModalFrameWithCloseBox(dialog);
        ExpectCentred(dialog);
        ExpectControls(dialog,
                       {
                           {IDOK, L"Button", TEXT_ABOUT_OK, BS_DEFPUSHBUTTON, true},
                           {IDC_WEB_PAGE, L"Button", TEXT_ABOUT_WEB_BUTTON, BS_PUSHBUTTON, true},
                           {IDC_ABOUT_TEXT, L"Edit", "", 0, true},
                       });
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK));
        ExpectTextsFit(dialog);

        HWND text = GetDlgItem(dialog, IDC_ABOUT_TEXT);
        EXPECT_EQ(WindowText(text), W(kAboutText));
        const LONG_PTR wanted =
            ES_MULTILINE | ES_READONLY | ES_CENTER | ES_AUTOHSCROLL | ES_WANTRETURN;
        EXPECT_EQ(StyleOf(text) & wanted, wanted);
        EXPECT_EQ(StyleOf(text) & (WS_BORDER | WS_HSCROLL | WS_VSCROLL), 0);
        EXPECT_EQ(SendMessageW(text, EM_GETLINECOUNT, 0, 0), 5);  // four lines and the last break
        Click(dialog, IDOK);
    });
    ShowAboutDialog(nullptr, kAboutText, TEXT_PAGE_URL);
    ExpectActionsRun(1);
}

// The web-page button asks first; No opens nothing, the About dialog stays open and asks again.
TEST_F(AboutDialogWin, WebPageQuestionAnsweredNoKeepsTheDialog) {
    static HWND about = nullptr;
    static std::vector<std::wstring> captions;
    static std::vector<std::wstring> questions;
    captions.clear();
    questions.clear();
    WhenOpen([](HWND dialog) {
        about = dialog;
        for (int round = 0; round < 2; ++round) {
            WhenOpenOver(dialog, [](HWND box) {
                captions.push_back(WindowText(box));
                questions.push_back(WindowText(GetDlgItem(box, 0xFFFF)));
                SendMessageW(box, WM_COMMAND, IDNO, 0);
            });
            Click(dialog, IDC_WEB_PAGE);  // returns once the question box has closed
        }
        Click(dialog, IDOK);
    });
    ShowAboutDialog(nullptr, kAboutText, TEXT_PAGE_URL);
    ExpectActionsRun(3);
    const std::wstring question = W(TEXT_WEB_QUESTION_BEFORE TEXT_PAGE_URL TEXT_WEB_QUESTION_AFTER);
    EXPECT_EQ(captions, std::vector<std::wstring>(2, L"Velumin"));
    EXPECT_EQ(questions, std::vector<std::wstring>(2, question));
    EXPECT_FALSE(IsWindow(about));
}

TEST(TrayMenuWin, PopupHasTheFourItemsAndTheCheckFollowsTheSwitch) {
    struct Item {
        UINT id;
        std::string text;
    };
    const std::vector<Item> items = {
        {IDM_SETTINGS, TEXT_MENU_SETTINGS},
        {0, ""},
        {IDM_KEYBOARD_LED, TEXT_MENU_KEYBOARD_LED},
        {0, ""},
        {IDM_ABOUT, TEXT_MENU_ABOUT},
        {IDM_EXIT, TEXT_MENU_EXIT},
    };
    for (const bool on : {true, false}) {
        HMENU menu = LoadTrayMenu(on);
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(GetMenuItemCount(menu), 1);
        HMENU popup = GetSubMenu(menu, 0);
        ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(items.size()));
        for (int i = 0; i < static_cast<int>(items.size()); ++i) {
            SCOPED_TRACE("position " + std::to_string(i));
            const UINT state = GetMenuState(popup, static_cast<UINT>(i), MF_BYPOSITION);
            if (items[i].id == 0) {
                EXPECT_NE(state & MF_SEPARATOR, 0U);
                continue;
            }
            EXPECT_EQ(GetMenuItemID(popup, i), items[i].id);
            wchar_t text[64] = {};
            GetMenuStringW(popup, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
            EXPECT_EQ(std::wstring(text), W(items[i].text));
            EXPECT_EQ(state & (MF_GRAYED | MF_DISABLED), 0U);
            const bool checked = (state & MF_CHECKED) != 0;
            EXPECT_EQ(checked, on && items[i].id == IDM_KEYBOARD_LED);
        }
        DestroyMenu(menu);
    }
}

}  // namespace

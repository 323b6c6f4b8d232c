// The Windows build's shell: the hidden host dialog around the program, its
// instance mutex, Windows Sockets, and the messages that reach the commands
// and the one stop.
#include "app/host_window_win.h"

#include <winsock2.h>

#include <optional>
#include <string>
#include <utility>

#include "app/program.h"
#include "lamps/lock_keys_win.h"
#include "lamps/tray_lamp_win.h"
#include "resource.h"
#include "ui/dialogs_win.h"

namespace {

constexpr wchar_t kInstanceMutexName[] = L"Velumin for Windows";

// Made before the lamps, and so destroyed after them.
LockKeyDriver& LockKeys() {
    static WinLockKeyDriver driver;
    return driver;
}

// What the Windows build adds to the program: the Win32 dialogs, the named
// mutex, the shell's tray icon, the host dialog's end.
class WinProgram final : public Program {
  public:
    explicit WinProgram(HICON icon) : Program(LockKeys()), m_icon(icon) {}

    bool ShowSettings(SettingsForm& form) override { return ShowSettingsDialog(m_window, form); }
    void ShowAbout(const std::string& aboutText, const std::string& pageUrl) override {
        ShowAboutDialog(m_window, aboutText, pageUrl);
    }
    bool Ask(const std::string& question) override { return AskYesNo(m_window, question); }

    INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  private:
    void ReleaseInstanceLock() override {
        if (m_instanceMutex != nullptr) {
            CloseHandle(std::exchange(m_instanceMutex, nullptr));
        }
    }
    void EndHost() override {
        // A Settings or About dialog still open would keep the program alive without its icon.
        EndOpenDialogs();
        EndDialog(m_window, IDOK);
    }
    void OnInitDialog(HWND window);

    HICON m_icon;
    HWND m_window = nullptr;
    HANDLE m_instanceMutex = nullptr;
    std::optional<WinTrayLamp> m_tray;
};

void WinProgram::OnInitDialog(HWND window) {
    m_window = window;
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));

    m_instanceMutex = CreateMutexW(nullptr, TRUE, kInstanceMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // Another instance runs: end at once. Nothing was started, so the stop
        // touches neither settings, tray, port nor worker.
        Stop();
        return;
    }

    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    Start(m_tray.emplace(window));

    SetWindowLongPtrW(window, GWL_EXSTYLE,
                      GetWindowLongPtrW(window, GWL_EXSTYLE) & ~LONG_PTR{WS_EX_APPWINDOW});
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_HIDEWINDOW);
}

INT_PTR WinProgram::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TRAYNOTIFY) {
        if (LOWORD(lParam) == WM_RBUTTONUP) {
            ShowTrayMenu(window, Commands().KeyboardLedChecked());
        }
        return TRUE;
    }
    if (message == TaskbarCreatedMessage()) {
        if (m_tray) {
            m_tray->AddAgain();
        }
        return TRUE;
    }
    switch (message) {
        case WM_INITDIALOG:
            OnInitDialog(window);
            return TRUE;
        case WM_WINDOWPOSCHANGING:
            // The modal run shows the dialog once it is idle; keep it hidden, not even a flash.
            reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~static_cast<UINT>(SWP_SHOWWINDOW);
            return FALSE;
        case WM_COMMAND:
            // Any id that names no command (IDOK and IDCANCEL among them) is ignored.
            Commands().OnCommand(LOWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            // Any other way to end the program stops it as Exit does, without the question.
            Stop();
            return TRUE;
        case WM_ENDSESSION:
            // The system may end the process as soon as this returns: the stop has saved by then.
            if (wParam != FALSE) {
                Stop();
            }
            return TRUE;
        case WM_DESTROY:
            // Only the first instance started Windows Sockets.
            if (m_tray) {
                WSACleanup();
            }
            return FALSE;
        default:
            return FALSE;
    }
}

// The host window, once it exists, for the key filter.
HWND hostWindow = nullptr;

// Sees the host's messages before the dialog manager does. The host is the
// foreground window whenever its menu opens, and its focus sits on its hidden
// button 1011: Enter would press it (Settings) and Escape would cancel the host.
// The Settings and About dialogs and the question keep their own keys.
LRESULT CALLBACK HostKeyFilter(int code, WPARAM wParam, LPARAM lParam) {
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && message->message == WM_KEYDOWN &&
        (message->wParam == VK_RETURN || message->wParam == VK_ESCAPE) && hostWindow != nullptr &&
        GetAncestor(message->hwnd, GA_ROOT) == hostWindow) {
        return TRUE;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

INT_PTR CALLBACK HostDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
        hostWindow = window;
    }
    auto* program = reinterpret_cast<WinProgram*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return program != nullptr ? program->HandleMessage(window, message, wParam, lParam) : FALSE;
}

}  // namespace

void RunHostWindow(HINSTANCE instance) {
    WinProgram program(LoadIconW(instance, MAKEINTRESOURCEW(IDI_VELUMIN)));
    HHOOK keyFilter = SetWindowsHookExW(WH_MSGFILTER, HostKeyFilter, nullptr, GetCurrentThreadId());
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_HOST), nullptr, HostDialogProc,
                    reinterpret_cast<LPARAM>(&program));
    UnhookWindowsHookEx(keyFilter);
    hostWindow = nullptr;
}

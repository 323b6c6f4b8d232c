// The hidden host dialog: start-up in order, the tray menu's commands, the orderly stop.
#include "app/host_window_win.h"

#include <winsock2.h>

#include <string>
#include <utility>

#include "lamps/serial_port.h"
#include "lamps/tray_lamp_win.h"
#include "monitor/lamp_thread.h"
#include "resource.h"
#include "settings/lamp_settings.h"
#include "settings/settings_store.h"
#include "ui/commands.h"
#include "ui/dialogs_win.h"

namespace {

constexpr wchar_t kInstanceMutexName[] = L"Velumin for Windows";

struct HostState {
    HWND window = nullptr;
    HICON icon = nullptr;
    HANDLE instanceMutex = nullptr;
    // Set once the single-instance check has passed: only then are settings saved at the end.
    bool firstInstance = false;
    bool workerRunning = false;
    bool trayShown = false;
    bool savedAtEnd = false;
};

HostState host;

// The host's side of the shared commands. Each stop step runs once, so a close
// request that arrives while the Exit question is open does no harm.
class HostCommands final : public ExitCommandHost,
                           public SettingsCommandHost,
                           public AboutCommandHost {
  public:
    bool AskExit(const std::string& question) override { return AskYesNo(host.window, question); }
    void StopWorker() override {
        if (std::exchange(host.workerRunning, false)) {
            StopLampThread();
        }
    }
    void ReleaseInstanceLock() override {
        if (host.instanceMutex != nullptr) {
            CloseHandle(std::exchange(host.instanceMutex, nullptr));
        }
    }
    void RemoveTrayIcon() override {
        if (std::exchange(host.trayShown, false)) {
            ::RemoveTrayIcon();
        }
    }
    void EndHost() override {
        // A Settings or About dialog still open would keep the program alive without its icon.
        EndOpenDialogs();
        EndDialog(host.window, IDOK);
    }

    bool RunSettingsDialog(SettingsForm& form) override {
        return ShowSettingsDialog(host.window, form);
    }
    void SaveSettings() override { ::SaveSettings(); }
    void ApplySerialLamp() override { ::ApplySerialLamp(); }

    void RunAboutDialog(const std::string& aboutText, const std::string& pageUrl) override {
        ShowAboutDialog(host.window, aboutText, pageUrl);
    }
};

HostCommands commands;

void SaveAtEnd() {
    if (host.firstInstance && !std::exchange(host.savedAtEnd, true)) {
        SaveSettings();
    }
}

void OnInitDialog(HWND window) {
    host.window = window;
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(host.icon));
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(host.icon));

    host.instanceMutex = CreateMutexW(nullptr, TRUE, kInstanceMutexName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        // Another instance runs: end silently, touching neither settings, tray, port nor worker.
        EndDialog(window, IDOK);
        return;
    }
    host.firstInstance = true;

    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    LoadSettings();
    AddTrayIcon(window);
    host.trayShown = true;
    ApplySerialLamp();
    StartLampThread();
    host.workerRunning = true;

    SetWindowLongPtrW(window, GWL_EXSTYLE,
                      GetWindowLongPtrW(window, GWL_EXSTYLE) & ~LONG_PTR{WS_EX_APPWINDOW});
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_HIDEWINDOW);
}

void OnCommand(WORD id) {
    switch (id) {
        case IDM_EXIT:
            RunExitCommand(commands);
            break;
        case IDM_ABOUT:
            RunAboutCommand(commands);
            break;
        case IDM_SETTINGS:
            RunSettingsCommand(LampSettings, commands);
            break;
        case IDM_KEYBOARD_LED:
            ToggleKeyboardLed(LampSettings);
            break;
        default:
            // IDOK and IDCANCEL come from the dialog manager for Enter and Escape
            // (the host is the foreground window while its menu is open): they
            // must not end the program, so they are ignored like every other id.
            break;
    }
}

INT_PTR CALLBACK HostDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TRAYNOTIFY) {
        if (LOWORD(lParam) == WM_RBUTTONUP) {
            ShowTrayMenu(window, IsOn(LampSettings.useKeyboardLed));
        }
        return TRUE;
    }
    if (message == TaskbarCreatedMessage()) {
        AddTrayIconAgain();
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
            OnCommand(LOWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            // Any other way to end the program stops it as Exit does, without the question.
            RunOrderlyStop(commands);
            return TRUE;
        case WM_ENDSESSION:
            if (wParam != FALSE) {
                // The system may end the process as soon as this returns: save now.
                RunOrderlyStop(commands);
                SaveAtEnd();
            }
            return TRUE;
        case WM_DESTROY:
            SaveAtEnd();
            if (host.firstInstance) {
                WSACleanup();
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

void RunHostWindow(HINSTANCE instance) {
    host.icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_VELUMIN));
    DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_HOST), nullptr, HostDialogProc, 0);
    // A second instance never took the mutex it opened.
    if (host.instanceMutex != nullptr) {
        CloseHandle(std::exchange(host.instanceMutex, nullptr));
    }
}

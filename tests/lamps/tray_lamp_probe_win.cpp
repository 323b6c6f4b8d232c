// A host window with the program's tray icon, driven line by line on stdin by
// the Linux-side tray test, which watches the icon on the X display. With an
// option it plays the shell instead: deletes that icon behind the host's back,
// or broadcasts TaskbarCreated as a restarted shell does.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "lamps/tray_lamp_win.h"

namespace {

constexpr wchar_t kHostClass[] = L"VeluminTrayProbeHost";

enum HostCommand : WPARAM { kAdd, kRemove, kQuit };
constexpr UINT kRunCommand = WM_APP + 1;

WinTrayLamp* tray = nullptr;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == TaskbarCreatedMessage() && tray != nullptr) {
        tray->AddAgain();
        return 0;
    }
    if (message == kRunCommand) {
        switch (wParam) {
            case kAdd:
                tray->Add();
                break;
            case kRemove:
                tray->Remove();
                break;
            default:
                PostQuitMessage(0);
                break;
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Reply(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// Reads the commands; shows pictures itself, as the worker thread does, and
// hands add, remove and quit to the window's thread.
void ReadCommands(HWND host) {
    char buffer[128];
    while (std::fgets(buffer, sizeof(buffer), stdin) != nullptr) {
        std::string command(buffer);
        while (!command.empty() && (command.back() == '\n' || command.back() == '\r')) {
            command.pop_back();
        }
        if (command == "add") {
            SendMessageW(host, kRunCommand, kAdd, 0);
        } else if (command == "remove") {
            SendMessageW(host, kRunCommand, kRemove, 0);
        } else if (command == "idle") {
            tray->Show(TrayLampState::Idle);
        } else if (command == "receive") {
            tray->Show(TrayLampState::Receive);
        } else if (command == "send") {
            tray->Show(TrayLampState::Send);
        } else if (command == "both") {
            tray->Show(TrayLampState::Both);
        } else if (command == "quit") {
            break;
        } else {
            Reply("unknown " + command);
            continue;
        }
        Reply("done " + command);
    }
    PostMessageW(host, kRunCommand, kQuit, 0);
}

int RunHost() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = HostProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kHostClass;
    RegisterClassExW(&windowClass);
    // A top-level window, never shown: message-only windows miss broadcasts.
    HWND host = CreateWindowExW(0, kHostClass, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
    if (host == nullptr) {
        Reply("no window");
        return 1;
    }
    WinTrayLamp lamp(host);
    tray = &lamp;
    Reply("ready");
    std::thread(ReadCommands, host).detach();
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

// Deletes the host's icon as a crashing shell would lose it.
int DeleteHostIcon() {
    HWND host = FindWindowW(kHostClass, nullptr);
    if (host == nullptr) {
        return 1;
    }
    NOTIFYICONDATAW record{};
    record.cbSize = NOTIFYICONDATAW_V2_SIZE;
    record.hWnd = host;
    record.uID = 0;
    return Shell_NotifyIconW(NIM_DELETE, &record) ? 0 : 1;
}

int BroadcastTaskbarCreated() {
    const LRESULT sent = SendMessageTimeoutW(HWND_BROADCAST, TaskbarCreatedMessage(), 0, 0,
                                             SMTO_ABORTIFHUNG, 10000, nullptr);
    return sent != 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--delete-icon") == 0) {
        return DeleteHostIcon();
    }
    if (argc == 2 && std::strcmp(argv[1], "--broadcast-taskbar-created") == 0) {
        return BroadcastTaskbarCreated();
    }
    return RunHost();
}

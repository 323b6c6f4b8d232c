// The tray lamp icon through Shell_NotifyIconW.
#include "lamps/tray_lamp_win.h"

#include <shellapi.h>

#include <array>
#include <atomic>
#include <cwchar>

#include "resource.h"

namespace {

// One record per state, indexed by TrayLampState; they differ only in hIcon,
// so handing the shell another record changes nothing but the picture.
std::array<NOTIFYICONDATAW, 4> trayRecords{};

// The picture the icon should show, kept for an add after a shell restart.
std::atomic<TrayLampState> shownState{TrayLampState::Idle};
std::atomic<bool> iconAdded{false};

NOTIFYICONDATAW& RecordOf(TrayLampState state) {
    return trayRecords[static_cast<std::size_t>(state)];
}

int IconResourceOf(TrayLampState state) {
    switch (state) {
        case TrayLampState::Receive:
            return IDI_LAMP_RECEIVE;
        case TrayLampState::Send:
            return IDI_LAMP_SEND;
        case TrayLampState::Both:
            return IDI_LAMP_BOTH;
        case TrayLampState::Idle:
            break;
    }
    return IDI_LAMP_IDLE;
}

constexpr std::array<TrayLampState, 4> kAddOrder{TrayLampState::Idle, TrayLampState::Receive,
                                                 TrayLampState::Send, TrayLampState::Both};

}  // namespace

UINT TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

void AddTrayIcon(HWND host) {
    // Registered before the icon exists, so that no broadcast can be missed.
    TaskbarCreatedMessage();
    const HINSTANCE module = GetModuleHandleW(nullptr);
    for (const TrayLampState state : kAddOrder) {
        NOTIFYICONDATAW& record = RecordOf(state);
        record = NOTIFYICONDATAW{};
        record.cbSize = NOTIFYICONDATAW_V2_SIZE;
        record.hWnd = host;
        record.uID = 0;
        record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        record.uCallbackMessage = WM_TRAYNOTIFY;
        record.hIcon = LoadIconW(module, MAKEINTRESOURCEW(IconResourceOf(state)));
        std::wcsncpy(record.szTip, L"VELUMIN", std::size(record.szTip) - 1);
    }
    shownState = TrayLampState::Idle;
    iconAdded = true;
    // The first add creates the icon with the Idle picture; the others name
    // the same icon and change nothing.
    for (const TrayLampState state : kAddOrder) {
        Shell_NotifyIconW(NIM_ADD, &RecordOf(state));
    }
}

void ShowTrayLamp(TrayLampState state) {
    shownState = state;
    if (iconAdded) {
        Shell_NotifyIconW(NIM_MODIFY, &RecordOf(state));
    }
}

void AddTrayIconAgain() {
    if (!iconAdded) {
        return;
    }
    TrayLampState state = shownState;
    Shell_NotifyIconW(NIM_ADD, &RecordOf(state));
    // A switch of the worker that came before the add failed on the missing
    // icon; hand over the newest picture until it holds still.
    for (TrayLampState now = shownState; now != state; now = shownState) {
        state = now;
        Shell_NotifyIconW(NIM_MODIFY, &RecordOf(state));
    }
}

void RemoveTrayIcon() {
    iconAdded = false;
    for (const TrayLampState state : kAddOrder) {
        Shell_NotifyIconW(NIM_DELETE, &RecordOf(state));
    }
}

// The tray lamp icon through Shell_NotifyIconW.
#include "lamps/tray_lamp_win.h"

#include <cwchar>

#include "resource.h"
#include "texts.h"

namespace {

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

}  // namespace

UINT TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

NOTIFYICONDATAW& WinTrayLamp::RecordOf(TrayLampState state) {
    return m_records[static_cast<std::size_t>(state)];
}

void WinTrayLamp::Add() {
    // Registered before the icon exists, so that no broadcast can be missed.
    TaskbarCreatedMessage();
    const HINSTANCE module = GetModuleHandleW(nullptr);
    for (const TrayLampState state : kTrayLampStates) {
        NOTIFYICONDATAW& record = RecordOf(state);
        record = NOTIFYICONDATAW{};
        record.cbSize = NOTIFYICONDATAW_V2_SIZE;
        record.hWnd = m_host;
        record.uID = 0;
        record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        record.uCallbackMessage = WM_TRAYNOTIFY;
        record.hIcon = LoadIconW(module, MAKEINTRESOURCEW(IconResourceOf(state)));
        std::wcsncpy(record.szTip, L"" TEXT_TRAY_TIP, std::size(record.szTip) - 1);
    }
    m_shown = TrayLampState::Idle;
    m_added = true;
    // The first add creates the icon with the Idle picture; the others name
    // the same icon and change nothing.
    for (const TrayLampState state : kTrayLampStates) {
        Shell_NotifyIconW(NIM_ADD, &RecordOf(state));
    }
}

void WinTrayLamp::Show(TrayLampState state) {
    m_shown = state;
    if (m_added) {
        Shell_NotifyIconW(NIM_MODIFY, &RecordOf(state));
    }
}

void WinTrayLamp::AddAgain() {
    if (!m_added) {
        return;
    }
    TrayLampState state = m_shown;
    Shell_NotifyIconW(NIM_ADD, &RecordOf(state));
    // A switch of the worker that came before the add failed on the missing
    // icon; hand over the newest picture until it holds still.
    for (TrayLampState now = m_shown; now != state; now = m_shown) {
        state = now;
        Shell_NotifyIconW(NIM_MODIFY, &RecordOf(state));
    }
}

void WinTrayLamp::Remove() {
    if (!m_added.exchange(false)) {
        return;
    }
    for (const TrayLampState state : kTrayLampStates) {
        Shell_NotifyIconW(NIM_DELETE, &RecordOf(state));
    }
}

// The tray lamp icon of the Windows build: one shell notification icon, owned
// by the host window, whose picture is switched between four prepared records.
#pragma once

#include <windows.h>
// windows.h first: shellapi.h relies on it.
#include <shellapi.h>

#include <array>
#include <atomic>

#include "lamps/tray_lamp.h"

// The icon's callback message to the host window: wParam the icon's id,
// lParam the mouse message (WM_RBUTTONUP opens the menu).
inline constexpr UINT WM_TRAYNOTIFY = WM_USER + 100;

// The message the shell broadcasts when it (re)creates the notification area.
// The host window answers it with AddAgain, since an icon of the old shell is
// lost and with it the program's only menu.
UINT TaskbarCreatedMessage();

class WinTrayLamp final : public TrayLamp {
  public:
    // The icon's callback messages go to host.
    explicit WinTrayLamp(HWND host) : m_host(host) {}

    // Prepares the four records and adds the icon, showing Idle.
    void Add() override;
    void Show(TrayLampState state) override;
    // Adds the icon again with the picture it should show now. Does nothing
    // before Add and after Remove.
    void AddAgain();
    void Remove() override;

  private:
    HWND m_host;
    NOTIFYICONDATAW& RecordOf(TrayLampState state);

    // One record per state, indexed by TrayLampState; they differ only in hIcon,
    // so handing the shell another record changes nothing but the picture.
    std::array<NOTIFYICONDATAW, 4> m_records{};
    // The picture the icon should show, kept for an add after a shell restart.
    std::atomic<TrayLampState> m_shown{TrayLampState::Idle};
    std::atomic<bool> m_added{false};
};

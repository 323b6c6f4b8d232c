// The tray icon as a lamp: four pictures, one icon of the program.
#pragma once

#include <array>

enum class TrayLampState { Idle, Receive, Send, Both };

// Every state, in the order of the enum.
inline constexpr std::array<TrayLampState, 4> kTrayLampStates{
    TrayLampState::Idle, TrayLampState::Receive, TrayLampState::Send, TrayLampState::Both};

// The program's tray icon: added at start-up before the worker starts, switched
// by the worker, removed at the end after the worker has stopped. The platform
// halves are _win and _qt.
class TrayLamp {
  public:
    virtual ~TrayLamp() = default;
    // Adds the icon, showing Idle, on the user-interface thread.
    virtual void Add() = 0;
    // Any thread, between Add and Remove; does nothing outside them.
    virtual void Show(TrayLampState state) = 0;
    // Removes the icon, on the user-interface thread.
    virtual void Remove() = 0;
};

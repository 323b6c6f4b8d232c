// The tray icon as a lamp: four pictures, one icon of the program.
#pragma once

enum class TrayLampState { Idle, Receive, Send, Both };

// What the worker needs of the tray icon: switch its picture. The platform
// halves (_win, _qt) add the icon at start-up and remove it at the end.
class TrayLamp {
  public:
    virtual ~TrayLamp() = default;
    virtual void Show(TrayLampState state) = 0;
};

// Switches the program's tray icon to the picture of state.
void ShowTrayLamp(TrayLampState state);

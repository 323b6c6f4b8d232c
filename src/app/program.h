// The program object: the process-wide objects and the wiring between them,
// the same for both builds. Each build's shell (the Windows host window, the
// Qt main) owns one Program and drives its start-up and end.
#pragma once

#include <atomic>
#include <memory>
#include <optional>

#include "lamps/keyboard_led.h"
#include "lamps/serial_port.h"
#include "monitor/lamp_thread.h"
#include "settings/lamp_settings.h"
#include "settings/settings_store.h"
#include "ui/commands.h"
#include "ui/dialog_slots.h"

// The process-wide objects, constructed in this order before anything else runs
// and destroyed in reverse at process exit: the port is closed first, then
// NumLock, ScrollLock and CapsLock get back the state they had at start-up.
extern CKeyboardLed capsLockLed;
extern CKeyboardLed scrollLockLed;
extern CKeyboardLed numLockLed;
extern CSerialPort serialPort;
// Receive on CapsLock and send on ScrollLock until the settings are loaded.
extern LampSettingsRecord LampSettings;
extern std::atomic<int> stopRequest;
extern DialogSlots dialogBusy;

class Program {
  public:
    // shell receives the commands' windows and the orderly stop's steps.
    explicit Program(Shell& shell);
    // Stops a worker that is still running, so that it never outlives its loop.
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Start-up after the single-instance check: loads the settings and the
    // interfaces' patterns, adds the tray icon, applies the serial lamp and
    // starts the worker.
    void Start(TrayLamp& tray);
    // The shell's StopWorker step: false when the worker was left behind.
    bool StopWorker();
    // Saves the settings; false when the file could not be written, or before
    // they were loaded (a save then would overwrite the file with defaults).
    // Any thread.
    bool Save();
    // The save at the end, once, and only after a start: a second instance
    // writes nothing.
    void SaveAtEnd();

    TrayCommands& Commands() { return m_commands; }

  private:
    static const KeyboardLedTable kLamps;

    std::unique_ptr<SettingsStore> m_store;
    TrayCommands m_commands;
    std::unique_ptr<TrafficSource> m_traffic;
    SteadyLampClock m_clock{stopRequest};
    std::optional<LampLoop> m_loop;
    std::atomic<bool> m_loaded{false};
    bool m_savedAtEnd = false;
};

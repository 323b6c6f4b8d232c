// The program object, the same for both builds: the process-wide objects, the
// start-up, and the one stop that every way out takes. Each build's shell
// derives from it (QtProgram in app/main_linux.cpp, WinProgram in
// app/host_window_win.cpp) and adds its windows, its instance lock, its tray
// icon and the end of its event loop.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

#include "lamps/keyboard_led.h"
#include "lamps/tray_lamp.h"
#include "monitor/lamp_thread.h"
#include "settings/settings_store.h"
#include "ui/commands.h"

class Program : public CommandHost {
  public:
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Start-up after the single-instance check: loads the settings and the
    // interfaces' patterns, adds the tray icon, applies the serial lamp and
    // starts the worker.
    void Start(TrayLamp& tray);
    // The one stop, which each way out enters once: Exit's Yes, a close
    // request, a signal, the end of the session, and on Windows a second
    // instance, which started nothing.
    // In this order it stops the worker, lets another instance start, removes
    // the tray icon, saves, and ends the event loop; the port and the lock
    // keys follow as the process ends, with the process-wide objects. A worker
    // that did not stop in time ends the process here instead, with the port
    // and the keys given back by hand.
    void Stop() final;
    bool Stopping() const final { return m_stopping; }

    // Saves the settings, unless they were never loaded: a save then would
    // overwrite the file with defaults. For the session's end, which may end
    // the process before any stop.
    void Save();
    // The stop's save, once: also from any thread, as the display goes away.
    // A second caller returns once the first one's save is done, so that it
    // may end the process.
    void SaveAtEnd();

    TrayCommands& Commands() { return m_commands; }

  protected:
    // Makes the process-wide objects on lockKeys, which must outlive them.
    explicit Program(LockKeyDriver& lockKeys);
    ~Program() override = default;

    // The build's own steps of the stop. Ending the host ends the dialogs
    // still open as cancelled.
    virtual void ReleaseInstanceLock() = 0;
    virtual void EndHost() = 0;

  private:
    struct ProcessObjects;
    static ProcessObjects& MakeProcessObjects(LockKeyDriver& lockKeys);
    [[noreturn]] void EndLeavingWorkerBehind();

    ProcessObjects& m_objects;
    const KeyboardLedTable m_lamps;
    std::unique_ptr<SettingsStore> m_store;
    TrayCommands m_commands;
    TrayLamp* m_tray = nullptr;
    std::unique_ptr<TrafficSource> m_traffic;
    SteadyLampClock m_clock;
    std::optional<LampLoop> m_loop;
    std::atomic<bool> m_loaded{false};
    std::mutex m_saveAtEndMutex;
    bool m_savedAtEnd = false;
    bool m_stopping = false;
};

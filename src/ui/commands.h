// The tray menu's commands and the orderly stop, shared by both builds. What
// differs between the builds (the windows, the worker's thread, the instance
// lock, the tray icon, the host) sits behind Shell.
#pragma once

#include <string>

#include "lamps/keyboard_led.h"
#include "ui/dialog_slots.h"
#include "ui/settings_form.h"

struct LampSettingsRecord;
class CSerialPort;
class SettingsStore;

class Shell {
  public:
    virtual ~Shell() = default;
    // Runs the Settings dialog modally on form; true, form then holding the
    // controls' values, when it ended with OK.
    virtual bool ShowSettings(SettingsForm& form) = 0;
    // Runs the About dialog with its text and the page its button offers.
    virtual void ShowAbout(const std::string& aboutText, const std::string& pageUrl) = 0;
    // The Exit question; true unless the answer was No.
    virtual bool Ask(const std::string& question) = 0;

    // The orderly stop's steps, in this order. StopWorker gives false when the
    // worker did not stop in time.
    virtual bool StopWorker() = 0;
    virtual void ReleaseInstanceLock() = 0;
    virtual void RemoveTrayIcon() = 0;
    // Ends the host; dialogs still open end as cancelled.
    virtual void EndHost() = 0;
};

// The commands of the tray menu (and of the hidden host window's buttons) on
// the program's settings, lamps, ini file and serial port.
class TrayCommands {
  public:
    TrayCommands(Shell& shell, LampSettingsRecord& settings, const KeyboardLedTable& lamps,
                 SettingsStore& store, CSerialPort& port, DialogSlots& dialogBusy)
        : m_shell(shell),
          m_settings(settings),
          m_lamps(lamps),
          m_store(store),
          m_port(port),
          m_dialogBusy(dialogBusy) {}

    // Runs the command with this menu id; any other id does nothing.
    void OnCommand(int command);
    // The Settings command: a second one while the dialog is open does nothing.
    void OnSettings();
    // The keyboard-lamp switch: 1 gives 0, anything else 1. Not saved.
    void OnToggleKeyboardLed();
    // The switch's check mark in the menu.
    bool KeyboardLedChecked() const;
    // The About command: a second one while the dialog is open does nothing.
    void OnAbout();
    // The question, then the orderly stop; a second Exit while the question is
    // open does nothing.
    void OnExit();

    // The orderly stop without the question, for every way out (Exit after Yes,
    // a close request, a signal, the end of the session or of the display).
    // Whatever asks, its steps run once.
    void OrderlyStop();
    bool Stopping() const { return m_stopping; }
    // False when the stop had to leave the worker behind.
    bool WorkerStopped() const { return m_workerStopped; }

  private:
    Shell& m_shell;
    LampSettingsRecord& m_settings;
    const KeyboardLedTable& m_lamps;
    SettingsStore& m_store;
    CSerialPort& m_port;
    DialogSlots& m_dialogBusy;
    bool m_stopping = false;
    bool m_workerStopped = true;
};

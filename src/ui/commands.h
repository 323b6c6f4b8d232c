// The tray menu's commands, shared by both builds: one dispatch of the menu's
// ids, each dialog guarded by its dialogBusy slot. What they ask of the
// program around them sits behind CommandHost.
#pragma once

#include <string>

#include "lamps/keyboard_led.h"
#include "ui/dialog_slots.h"
#include "ui/settings_form.h"

struct LampSettingsRecord;
class CSerialPort;
class SettingsStore;

// The Settings command's exchange between the record and the dialog's
// members. Load fills the form in the dialog's member order; Store keeps a
// key index outside 0..2 from changing the reference, and stores no chosen
// port as 0.
SettingsForm LoadSettingsForm(const LampSettingsRecord& settings, const KeyboardLedTable& lamps);
void StoreSettingsForm(const SettingsForm& form, LampSettingsRecord& settings,
                       const KeyboardLedTable& lamps);

// The program as its commands see it: the windows they open, which each
// build has its own of, and the program's one stop.
class CommandHost {
  public:
    virtual ~CommandHost() = default;
    // Runs the Settings dialog modally on form; true, form then holding the
    // controls' values, when it ended with OK.
    virtual bool ShowSettings(SettingsForm& form) = 0;
    // Runs the About dialog with its text and the page its button offers.
    virtual void ShowAbout(const std::string& aboutText, const std::string& pageUrl) = 0;
    // The Exit question; true unless the answer was No.
    virtual bool Ask(const std::string& question) = 0;
    // The stop that every way out of the program takes.
    virtual void Stop() = 0;
    // True once the stop has begun, whichever way out began it.
    virtual bool Stopping() const = 0;
};

// The commands of the tray menu (and of the hidden host window's buttons) on
// the program's settings, lamps, ini file and serial port.
class TrayCommands {
  public:
    TrayCommands(CommandHost& host, LampSettingsRecord& settings, const KeyboardLedTable& lamps,
                 SettingsStore& store, CSerialPort& port, DialogSlots& dialogBusy)
        : m_host(host),
          m_settings(settings),
          m_lamps(lamps),
          m_store(store),
          m_port(port),
          m_dialogBusy(dialogBusy) {}

    // Runs the command with this menu id; any other id, and any id once the
    // program is stopping, does nothing.
    void OnCommand(int command);
    // The Settings command: a second one while the dialog is open does nothing.
    void OnSettings();
    // The keyboard-lamp switch: 1 gives 0, anything else 1. Not saved.
    void OnToggleKeyboardLed();
    // The switch's check mark in the menu.
    bool KeyboardLedChecked() const;
    // The About command: a second one while the dialog is open does nothing.
    void OnAbout();
    // The question, then the program's stop, unless another way out has begun
    // it meanwhile; a second Exit while the question is open does nothing.
    void OnExit();

  private:
    CommandHost& m_host;
    LampSettingsRecord& m_settings;
    const KeyboardLedTable& m_lamps;
    SettingsStore& m_store;
    CSerialPort& m_port;
    DialogSlots& m_dialogBusy;
};

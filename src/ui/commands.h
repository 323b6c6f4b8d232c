// The tray menu's commands and the orderly stop, shared by both builds. What
// differs between the builds (the windows, the worker's thread, the instance
// lock, the tray icon, the host) sits behind Shell.
#pragma once

#include <string>

#include "lamps/keyboard_led.h"
#include "ui/dialog_slots.h"

struct LampSettingsRecord;
class CSerialPort;
class SettingsStore;

// The members of the Settings dialog, exchanged with its controls.
struct SettingsForm {
    int m_useReceiveLed = 0;
    int m_useSendLed = 0;
    int m_receiveLedIndex = -1;
    int m_sendLedIndex = -1;
    int m_serialPortIndex = -1;
    int m_useSerialLed = 0;
    int m_ledInversion = 0;

    bool operator==(const SettingsForm&) const = default;
};

// Fills the form from the settings, in the dialog's member order.
SettingsForm LoadSettingsForm(const LampSettingsRecord& settings, const KeyboardLedTable& lamps);
// Stores an accepted form; a key index outside 0..2 keeps the reference, and
// no chosen port stores 0.
void StoreSettingsForm(const SettingsForm& form, LampSettingsRecord& settings,
                       const KeyboardLedTable& lamps);

// The About dialog's text: name and version, authorship, an empty line, the site.
std::string AboutText();

// The yes-or-no question and the desktop's opener, for the About dialog's button.
class WebPageHost {
  public:
    virtual ~WebPageHost() = default;
    // True unless the answer was No.
    virtual bool Ask(const std::string& question) = 0;
    virtual void OpenUrl(const std::string& url) = 0;
};

// The About dialog's web-page button: asks, and hands the page to the desktop
// unless the answer was No.
void OpenWebPage(const std::string& pageUrl, WebPageHost& host);

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

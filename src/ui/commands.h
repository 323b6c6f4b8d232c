// The tray menu's commands, with the platform's windows behind small interfaces
// so that both builds share their order of steps.
#pragma once

#include <string>

struct LampSettingsRecord;

// The members of the Settings dialog, exchanged with its controls.
struct SettingsForm {
    int m_useReceiveLed = 0;
    int m_useSendLed = 0;
    int m_receiveLedIndex = -1;
    int m_sendLedIndex = -1;
    int m_serialPortIndex = -1;
    int m_useSerialLed = 0;
    int m_ledInversion = 0;
};

// Fills the form from the settings, in the dialog's member order.
SettingsForm LoadSettingsForm(const LampSettingsRecord& settings);
// Stores an accepted form; a key index outside 0..2 keeps the reference, and
// no chosen port stores 0.
void StoreSettingsForm(const SettingsForm& form, LampSettingsRecord& settings);

// The keyboard-lamp switch of the tray menu: 1 gives 0, anything else 1. Not saved.
void ToggleKeyboardLed(LampSettingsRecord& settings);

class SettingsCommandHost {
  public:
    virtual ~SettingsCommandHost() = default;
    // Runs the dialog modally on form; true when it ended with OK.
    virtual bool RunSettingsDialog(SettingsForm& form) = 0;
    virtual void SaveSettings() = 0;
    virtual void ApplySerialLamp() = 0;
};

// The Settings command: a second one while the dialog is open does nothing.
void RunSettingsCommand(LampSettingsRecord& settings, SettingsCommandHost& host);

class AboutCommandHost {
  public:
    virtual ~AboutCommandHost() = default;
    virtual void RunAboutDialog(const std::string& aboutText, const std::string& pageUrl) = 0;
};

// The About command: a second one while the dialog is open does nothing.
void RunAboutCommand(AboutCommandHost& host);

class WebPageHost {
  public:
    virtual ~WebPageHost() = default;
    // The yes-or-no question; true unless the answer was No.
    virtual bool Ask(const std::string& question) = 0;
    virtual void OpenUrl(const std::string& url) = 0;
};

// The About dialog's web-page button: asks, and hands the page to the desktop
// unless the answer was No.
void OpenWebPage(const std::string& pageUrl, WebPageHost& host);

class ExitCommandHost {
  public:
    virtual ~ExitCommandHost() = default;
    // The exit question; true unless the answer was No.
    virtual bool AskExit(const std::string& question) = 0;
    virtual void StopWorker() = 0;
    virtual void ReleaseInstanceLock() = 0;
    virtual void RemoveTrayIcon() = 0;
    virtual void EndHost() = 0;
};

// The Exit command: the question, then the orderly stop. True when the program
// is ending; a second Exit while the question is open does nothing.
bool RunExitCommand(ExitCommandHost& host);

// The orderly stop without the question (Exit after Yes, a close request, a
// signal, the end of the session).
void RunOrderlyStop(ExitCommandHost& host);

// The order of steps of the tray menu's commands, shared by both builds.
#include "ui/commands.h"

#include "lamps/serial_port.h"
#include "monitor/lamp_loop.h"
#include "resource.h"
#include "settings/lamp_settings.h"
#include "settings/settings_store.h"
#include "texts.h"
#include "ui/about.h"

SettingsForm LoadSettingsForm(const LampSettingsRecord& settings, const KeyboardLedTable& lamps) {
    SettingsForm form;
    form.m_useReceiveLed = settings.useReceiveLed;
    form.m_useSendLed = settings.useSendLed;
    form.m_receiveLedIndex = KeyboardLedToIndex(lamps, settings.receiveLed);
    form.m_sendLedIndex = KeyboardLedToIndex(lamps, settings.sendLed);
    form.m_useSerialLed = settings.useSerialLed;
    form.m_serialPortIndex = settings.serialPortNum - 1;
    form.m_ledInversion = settings.ledInversion;
    return form;
}

void StoreSettingsForm(const SettingsForm& form, LampSettingsRecord& settings,
                       const KeyboardLedTable& lamps) {
    settings.useReceiveLed = form.m_useReceiveLed;
    settings.useSendLed = form.m_useSendLed;
    if (CKeyboardLed* lamp = KeyboardLedFromIndex(lamps, form.m_receiveLedIndex)) {
        settings.receiveLed = lamp;
    }
    if (CKeyboardLed* lamp = KeyboardLedFromIndex(lamps, form.m_sendLedIndex)) {
        settings.sendLed = lamp;
    }
    settings.useSerialLed = form.m_useSerialLed;
    // A list with nothing chosen gives -1, which stores port 0: no port.
    settings.serialPortNum = form.m_serialPortIndex + 1;
    settings.ledInversion = form.m_ledInversion;
}

void TrayCommands::OnCommand(int command) {
    // Once the program is stopping there is no way back.
    if (m_host.Stopping()) {
        return;
    }
    switch (command) {
        case IDM_SETTINGS:
            OnSettings();
            break;
        case IDM_KEYBOARD_LED:
            OnToggleKeyboardLed();
            break;
        case IDM_ABOUT:
            OnAbout();
            break;
        case IDM_EXIT:
            OnExit();
            break;
        default:
            break;
    }
}

void TrayCommands::OnSettings() {
    if (!AcquireDialogSlot(m_dialogBusy, kSettingsSlot)) {
        return;
    }
    SettingsForm form = LoadSettingsForm(m_settings, m_lamps);
    if (m_host.ShowSettings(form)) {
        StoreSettingsForm(form, m_settings, m_lamps);
        SaveSettings(m_settings, m_store, m_lamps);
        ApplySerialLamp(m_port, m_settings);
    }
    ReleaseDialogSlot(m_dialogBusy, kSettingsSlot);
}

void TrayCommands::OnToggleKeyboardLed() {
    m_settings.useKeyboardLed = IsOn(m_settings.useKeyboardLed) ? 0 : 1;
}

bool TrayCommands::KeyboardLedChecked() const {
    return IsOn(m_settings.useKeyboardLed);
}

void TrayCommands::OnAbout() {
    if (!AcquireDialogSlot(m_dialogBusy, kAboutSlot)) {
        return;
    }
    m_host.ShowAbout(AboutText(), TEXT_PAGE_URL);
    ReleaseDialogSlot(m_dialogBusy, kAboutSlot);
}

void TrayCommands::OnExit() {
    if (!AcquireDialogSlot(m_dialogBusy, kExitSlot)) {
        return;
    }
    const bool yes = m_host.Ask(TEXT_EXIT_QUESTION);
    ReleaseDialogSlot(m_dialogBusy, kExitSlot);
    if (yes && !m_host.Stopping()) {
        m_host.Stop();
    }
}

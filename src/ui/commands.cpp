// The order of steps of the tray menu's commands, shared by both builds.
#include "ui/commands.h"

#include "lamps/keyboard_led.h"
#include "settings/lamp_settings.h"
#include "texts.h"
#include "ui/dialog_slots.h"

SettingsForm LoadSettingsForm(const LampSettingsRecord& settings) {
    SettingsForm form;
    form.m_useReceiveLed = settings.useReceiveLed;
    form.m_useSendLed = settings.useSendLed;
    form.m_receiveLedIndex = KeyboardLedToIndex(settings.receiveLed);
    form.m_sendLedIndex = KeyboardLedToIndex(settings.sendLed);
    form.m_useSerialLed = settings.useSerialLed;
    form.m_serialPortIndex = settings.serialPortNum - 1;
    form.m_ledInversion = settings.ledInversion;
    return form;
}

void StoreSettingsForm(const SettingsForm& form, LampSettingsRecord& settings) {
    settings.useReceiveLed = form.m_useReceiveLed;
    settings.useSendLed = form.m_useSendLed;
    if (CKeyboardLed* lamp = KeyboardLedFromIndex(form.m_receiveLedIndex)) {
        settings.receiveLed = lamp;
    }
    if (CKeyboardLed* lamp = KeyboardLedFromIndex(form.m_sendLedIndex)) {
        settings.sendLed = lamp;
    }
    settings.useSerialLed = form.m_useSerialLed;
    // A list with nothing chosen gives -1, which stores port 0: no port.
    settings.serialPortNum = form.m_serialPortIndex + 1;
    settings.ledInversion = form.m_ledInversion;
}

void ToggleKeyboardLed(LampSettingsRecord& settings) {
    settings.useKeyboardLed = IsOn(settings.useKeyboardLed) ? 0 : 1;
}

void RunSettingsCommand(LampSettingsRecord& settings, SettingsCommandHost& host) {
    if (!AcquireDialogSlot(kSettingsSlot)) {
        return;
    }
    SettingsForm form = LoadSettingsForm(settings);
    if (host.RunSettingsDialog(form)) {
        StoreSettingsForm(form, settings);
        host.SaveSettings();
        host.ApplySerialLamp();
    }
    ReleaseDialogSlot(kSettingsSlot);
}

void RunAboutCommand(AboutCommandHost& host) {
    if (!AcquireDialogSlot(kAboutSlot)) {
        return;
    }
    host.RunAboutDialog("Velumin Version" TEXT_VERSION "\r\n" TEXT_AUTHORSHIP
                        "\r\n\r\n" TEXT_SITE_URL "\r\n",
                        TEXT_PAGE_URL);
    ReleaseDialogSlot(kAboutSlot);
}

void OpenWebPage(const std::string& pageUrl, WebPageHost& host) {
    if (host.Ask(TEXT_WEB_QUESTION_BEFORE + pageUrl + TEXT_WEB_QUESTION_AFTER)) {
        host.OpenUrl(pageUrl);
    }
}

namespace {

// The worker first, so that nothing touches the tray icon after its removal.
void StopEverything(ExitCommandHost& host) {
    host.StopWorker();
    host.ReleaseInstanceLock();
    host.RemoveTrayIcon();
}

}  // namespace

bool RunExitCommand(ExitCommandHost& host) {
    if (!AcquireDialogSlot(kExitSlot)) {
        return false;
    }
    if (!host.AskExit(TEXT_EXIT_QUESTION)) {
        ReleaseDialogSlot(kExitSlot);
        return false;
    }
    StopEverything(host);
    ReleaseDialogSlot(kExitSlot);
    host.EndHost();
    return true;
}

void RunOrderlyStop(ExitCommandHost& host) {
    StopEverything(host);
    host.EndHost();
}

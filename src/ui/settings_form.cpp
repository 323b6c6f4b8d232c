// The Settings dialog's exchanges and enabling rule.
#include "ui/settings_form.h"

#include "resource.h"
#include "settings/lamp_settings.h"

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

void ExchangeIntoControls(const SettingsForm& form, SettingsControls& controls) {
    controls.SetCheck(IDC_RECEIVE_CHECK, form.m_useReceiveLed == 1);
    controls.SetCheck(IDC_SEND_CHECK, form.m_useSendLed == 1);
    controls.SetSelection(IDC_RECEIVE_LIST, form.m_receiveLedIndex);
    controls.SetSelection(IDC_SEND_LIST, form.m_sendLedIndex);
    controls.SetSelection(IDC_PORT_LIST, form.m_serialPortIndex);
    controls.SetCheck(IDC_USE_SERIAL_CHECK, form.m_useSerialLed == 1);
    controls.SetCheck(IDC_INVERSION_CHECK, form.m_ledInversion == 1);
}

void ExchangeFromControls(SettingsForm& form, SettingsControls& controls) {
    form.m_useReceiveLed = controls.GetCheck(IDC_RECEIVE_CHECK) == 1 ? 1 : 0;
    form.m_useSendLed = controls.GetCheck(IDC_SEND_CHECK) == 1 ? 1 : 0;
    form.m_receiveLedIndex = controls.GetSelection(IDC_RECEIVE_LIST);
    form.m_sendLedIndex = controls.GetSelection(IDC_SEND_LIST);
    form.m_serialPortIndex = controls.GetSelection(IDC_PORT_LIST);
    form.m_useSerialLed = controls.GetCheck(IDC_USE_SERIAL_CHECK) == 1 ? 1 : 0;
    form.m_ledInversion = controls.GetCheck(IDC_INVERSION_CHECK) == 1 ? 1 : 0;
}

void UpdateLedTypeLists(SettingsControls& controls) {
    controls.SetEnabled(IDC_RECEIVE_LIST, controls.GetCheck(IDC_RECEIVE_CHECK) == 1);
    controls.SetEnabled(IDC_SEND_LIST, controls.GetCheck(IDC_SEND_CHECK) == 1);
}

void InitSettingsControls(const SettingsForm& form, SettingsControls& controls) {
    ExchangeIntoControls(form, controls);
    UpdateLedTypeLists(controls);
}

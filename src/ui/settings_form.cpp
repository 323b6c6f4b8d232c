// Exchange and enabling rule of the Settings dialog.
#include "ui/settings_form.h"

#include "resource.h"

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

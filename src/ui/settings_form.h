// The Settings dialog's members, their exchange with the dialog's controls,
// and its enabling rule, shared by the Win32 and the Qt dialog.
#pragma once

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

// The dialog's controls, addressed by their ids.
class SettingsControls {
  public:
    virtual ~SettingsControls() = default;
    virtual int GetCheck(int id) = 0;
    virtual void SetCheck(int id, bool checked) = 0;
    // The selected entry, or -1 when none is.
    virtual int GetSelection(int id) = 0;
    // Selects nothing for -1 or an index past the last entry.
    virtual void SetSelection(int id, int index) = 0;
    virtual void SetEnabled(int id, bool enabled) = 0;
};

// Into the controls: a box is checked only for 1 (any other flag shows as
// off, as it counts everywhere else).
void ExchangeIntoControls(const SettingsForm& form, SettingsControls& controls);
// Out of the controls: boxes give 1 or 0, lists their selection or -1; a
// greyed list takes part like an enabled one.
void ExchangeFromControls(SettingsForm& form, SettingsControls& controls);
// The key lists follow their check boxes (greyed, never hidden, selection
// kept); the port list and the inversion box stay enabled.
void UpdateLedTypeLists(SettingsControls& controls);

// The dialog at its start: members into the controls, then the enabling rule.
void InitSettingsControls(const SettingsForm& form, SettingsControls& controls);

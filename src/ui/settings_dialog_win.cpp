// The Settings dialog of the Windows build: template 137 over the shared exchange and enabling
// rule.
#include <windows.h>

#include <string>

#include "base/utf16_win.h"
#include "lamps/keyboard_led.h"
#include "lamps/serial_port.h"
#include "resource.h"
#include "ui/dialogs_win.h"
#include "ui/dialogs_win_internal.h"
#include "ui/settings_form.h"

namespace {

// The dialog's controls for the shared exchange and enabling rule.
class DialogSettingsControls final : public SettingsControls {
  public:
    explicit DialogSettingsControls(HWND dialog) : m_dialog(dialog) {}

    int GetCheck(int id) override {
        return IsDlgButtonChecked(m_dialog, id) == BST_CHECKED ? 1 : 0;
    }
    void SetCheck(int id, bool checked) override {
        CheckDlgButton(m_dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
    }
    int GetSelection(int id) override {
        const LRESULT index = SendDlgItemMessageW(m_dialog, id, CB_GETCURSEL, 0, 0);
        return index == CB_ERR ? -1 : static_cast<int>(index);
    }
    void SetSelection(int id, int index) override {
        // CB_SETCURSEL clears the selection for an index outside the list.
        SendDlgItemMessageW(m_dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    void SetEnabled(int id, bool enabled) override {
        EnableWindow(GetDlgItem(m_dialog, id), enabled ? TRUE : FALSE);
    }

  private:
    HWND m_dialog;
};

void AddListEntry(HWND dialog, int id, const std::string& text) {
    SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(WideFromUtf8(text).c_str()));
}

void FillLists(HWND dialog) {
    for (const int id : {IDC_RECEIVE_LIST, IDC_SEND_LIST}) {
        for (const LockKey& key : kLockKeys) {
            AddListEntry(dialog, id, key.name);
        }
    }
    for (int port = 1; port <= kSerialPortCount; ++port) {
        AddListEntry(dialog, IDC_PORT_LIST, SerialPortDeviceName(port));
    }
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
            RegisterOpenDialog(dialog);
            FillLists(dialog);
            DialogSettingsControls controls(dialog);
            InitSettingsControls(*reinterpret_cast<SettingsForm*>(lParam), controls);
            // The first tab stop, Cancel, takes the focus as the default button, so
            // that Enter right after opening cancels.
            SendMessageW(dialog, WM_NEXTDLGCTL,
                         reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDCANCEL)), TRUE);
            return FALSE;
        }
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (HIWORD(wParam) != BN_CLICKED) {
                return FALSE;
            }
            if (id == IDC_SETTINGS_OK || id == IDOK) {
                // IDOK comes from Enter on a control other than a push button.
                auto* form =
                    reinterpret_cast<SettingsForm*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
                DialogSettingsControls controls(dialog);
                ExchangeFromControls(*form, controls);
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (id == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            if (id == IDC_RECEIVE_CHECK || id == IDC_SEND_CHECK) {
                DialogSettingsControls controls(dialog);
                UpdateLedTypeLists(controls);
                return TRUE;
            }
            return FALSE;
        }
        case WM_DESTROY:
            UnregisterOpenDialog(dialog);
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

bool ShowSettingsDialog(HWND owner, SettingsForm& form) {
    // Exchanged out into a copy, so that a dialog that did not end with OK leaves form as it was.
    SettingsForm edited = form;
    const INT_PTR result =
        DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SETTINGS), owner,
                        SettingsDialogProc, reinterpret_cast<LPARAM>(&edited));
    if (result != IDOK) {
        return false;
    }
    form = edited;
    return true;
}

// The Settings dialog's controls as plain values, with list sizes as in the dialog.
#pragma once

#include <map>

#include "lamps/serial_port.h"
#include "resource.h"
#include "ui/settings_form.h"

namespace fakes {

class FakeSettingsControls final : public SettingsControls {
  public:
    int GetCheck(int id) override { return checks[id]; }
    void SetCheck(int id, bool checked) override { checks[id] = checked ? 1 : 0; }
    int GetSelection(int id) override { return selections.contains(id) ? selections[id] : -1; }
    void SetSelection(int id, int index) override {
        const int count = id == IDC_PORT_LIST ? kSerialPortCount : 3;
        selections[id] = index >= 0 && index < count ? index : -1;
    }
    void SetEnabled(int id, bool isEnabled) override { enabled[id] = isEnabled; }

    std::map<int, int> checks;
    std::map<int, int> selections;
    std::map<int, bool> enabled;
};

}  // namespace fakes

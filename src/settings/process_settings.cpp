// LoadSettings and SaveSettings for the process-wide record, its lamps and the program's ini file.
#include "lamps/keyboard_led.h"
#include "settings/settings_store.h"

namespace {

constexpr LampIndexMapping kProcessLamps = {&KeyboardLedFromIndex, &KeyboardLedToIndex};

}  // namespace

void LoadSettings() {
    LoadSettings(LampSettings, *OpenIniStore(GetIniPath()), kProcessLamps);
}

// A failed save is not reported: the settings stay in force for this run.
void SaveSettings() {
    SaveSettings(LampSettings, *OpenIniStore(GetIniPath()), kProcessLamps);
}

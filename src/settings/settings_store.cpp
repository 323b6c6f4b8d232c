// LoadSettings and SaveSettings on any record and store: the keys, their order and defaults.
#include "settings/settings_store.h"

#include <array>
#include <cstdio>

namespace {

// The reference keeps its lamp when the index names none.
void SetLampFromIndex(std::atomic<CKeyboardLed*>& reference, int index,
                      const LampIndexMapping& lamps) {
    if (CKeyboardLed* lamp = lamps.fromIndex(index)) {
        reference.store(lamp);
    }
}

std::string Decimal(int value) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "%d", value);
    return text.data();
}

}  // namespace

void LoadSettings(LampSettingsRecord& settings, SettingsStore& store,
                  const LampIndexMapping& lamps) {
    settings.useKeyboardLed.store(store.ReadInt("UseKeybordLed", 0));
    settings.useReceiveLed.store(store.ReadInt("UseReceiveLed", 0));
    settings.useSendLed.store(store.ReadInt("UseSendLed", 0));
    SetLampFromIndex(settings.receiveLed, store.ReadInt("ReceiveLed", 0), lamps);
    SetLampFromIndex(settings.sendLed, store.ReadInt("SendLed", 0), lamps);
    settings.serialPortNum.store(store.ReadInt("SerialPortNum", 1));
    settings.useSerialLed.store(store.ReadInt("UseSerialLed", 0));
    settings.ledInversion.store(store.ReadInt("LedInversion", 0));
}

bool SaveSettings(const LampSettingsRecord& settings, SettingsStore& store,
                  const LampIndexMapping& lamps) {
    const std::array<SettingsEntry, 8> entries = {{
        {"UseKeybordLed", Decimal(settings.useKeyboardLed.load())},
        {"UseReceiveLed", Decimal(settings.useReceiveLed.load())},
        {"UseSendLed", Decimal(settings.useSendLed.load())},
        {"ReceiveLed", Decimal(lamps.toIndex(settings.receiveLed.load()))},
        {"SendLed", Decimal(lamps.toIndex(settings.sendLed.load()))},
        {"SerialPortNum", Decimal(settings.serialPortNum.load())},
        {"UseSerialLed", Decimal(settings.useSerialLed.load())},
        {"LedInversion", Decimal(settings.ledInversion.load())},
    }};
    return store.Write(entries);
}

// LoadSettings and SaveSettings on any record and store: the keys, their order and defaults.
#include "settings/settings_store.h"

#include <array>
#include <cstdio>

namespace {

// One key of the file: an integer field of the record, or a lamp reference
// stored as its index.
struct SettingsKey {
    std::string_view name;
    std::atomic<int> LampSettingsRecord::*value;
    std::atomic<CKeyboardLed*> LampSettingsRecord::*lamp;
    int defaultValue;
};

// In the order they are written; the misspelt first name is what files hold.
using R = LampSettingsRecord;
constexpr std::array<SettingsKey, 8> kKeys{{
    {"UseKeybordLed", &R::useKeyboardLed, nullptr, 0},
    {"UseReceiveLed", &R::useReceiveLed, nullptr, 0},
    {"UseSendLed", &R::useSendLed, nullptr, 0},
    {"ReceiveLed", nullptr, &R::receiveLed, 0},
    {"SendLed", nullptr, &R::sendLed, 0},
    {"SerialPortNum", &R::serialPortNum, nullptr, 1},
    {"UseSerialLed", &R::useSerialLed, nullptr, 0},
    {"LedInversion", &R::ledInversion, nullptr, 0},
}};

std::string Decimal(int value) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "%d", value);
    return text.data();
}

}  // namespace

void LoadSettings(LampSettingsRecord& settings, SettingsStore& store,
                  const KeyboardLedTable& lamps) {
    for (const SettingsKey& key : kKeys) {
        const int value = store.ReadInt(key.name, key.defaultValue);
        if (key.value != nullptr) {
            (settings.*key.value).store(value);
        } else if (CKeyboardLed* lamp = KeyboardLedFromIndex(lamps, value)) {
            // An index that names no lamp keeps the reference as it was.
            (settings.*key.lamp).store(lamp);
        }
    }
}

bool SaveSettings(const LampSettingsRecord& settings, SettingsStore& store,
                  const KeyboardLedTable& lamps) {
    std::array<SettingsEntry, kKeys.size()> entries;
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        const SettingsKey& key = kKeys[i];
        const int value = key.value != nullptr ? (settings.*key.value).load()
                                               : KeyboardLedToIndex(lamps, settings.*key.lamp);
        entries[i] = {key.name, Decimal(value)};
    }
    return store.Write(entries);
}

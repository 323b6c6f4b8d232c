// Loading and saving the settings record through the platform's ini file.
#pragma once

#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "lamps/keyboard_led.h"
#include "settings/lamp_settings.h"

inline constexpr std::string_view kSettingsSection = "Settings";
// The optional patterns of the interfaces that light the lamps: read at
// start-up, never written, so a line written by hand stays as it is.
inline constexpr std::string_view kInterfacesKey = "Interfaces";

// One key of section "Settings" with the text to write.
struct SettingsEntry {
    std::string_view key;
    std::string text;
};

// The ini file of one platform (_win: the profile functions; _linux: our own reader
// and writer of the same format).
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    // The key's value in section "Settings" read as GetPrivateProfileInt reads it;
    // defaultValue when the file, the section or the key is missing. A file that
    // cannot be read counts as missing.
    virtual int ReadInt(std::string_view key, int defaultValue) = 0;
    // The key's text in section "Settings" as GetPrivateProfileString reads it;
    // empty when missing. A store that keeps no text (a test's) reads none.
    virtual std::string ReadText(std::string_view /*key*/) { return {}; }
    // Writes every entry into section "Settings" in this order, keeping everything
    // else in the file. False when the save did not reach the disk.
    virtual bool Write(std::span<const SettingsEntry> entries) = 0;
};

// Reads the eight keys into settings; a lamp index (0 CapsLock, 1 ScrollLock,
// 2 NumLock) that names no lamp of lamps keeps the reference as it was.
void LoadSettings(LampSettingsRecord& settings, SettingsStore& store,
                  const KeyboardLedTable& lamps);
// Writes the eight keys in one save, each value as held, formatted with "%d".
// A failed save leaves settings as they are.
bool SaveSettings(const LampSettingsRecord& settings, SettingsStore& store,
                  const KeyboardLedTable& lamps);

// This platform's store on the ini file at path.
std::unique_ptr<SettingsStore> OpenIniStore(const std::filesystem::path& path);

// The program's ini file: "Velumin.ini" beside the executable on Windows,
// $XDG_CONFIG_HOME/velumin/Velumin.ini on Linux.
std::filesystem::path GetIniPath();

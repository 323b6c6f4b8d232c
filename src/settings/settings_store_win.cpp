// The Windows ini store: the profile functions on "Velumin.ini" beside the executable.
#include <windows.h>

#include <string>
#include <vector>

#include "base/utf16_win.h"
#include "settings/settings_store.h"

namespace {

class ProfileIniStore final : public SettingsStore {
  public:
    explicit ProfileIniStore(std::wstring path) : m_path(std::move(path)) {}

    int ReadInt(std::string_view key, int defaultValue) override {
        const std::wstring section = WideFromUtf8(kSettingsSection);
        return static_cast<int>(GetPrivateProfileIntW(section.c_str(), WideFromUtf8(key).c_str(),
                                                      defaultValue, m_path.c_str()));
    }

    std::string ReadText(std::string_view key) override {
        const std::wstring section = WideFromUtf8(kSettingsSection);
        const std::wstring name = WideFromUtf8(key);
        // The value is cut to fit the buffer, so grow it until the value fits.
        for (std::vector<wchar_t> value(256); value.size() <= 65536;
             value.resize(value.size() * 2)) {
            const DWORD length =
                GetPrivateProfileStringW(section.c_str(), name.c_str(), L"", value.data(),
                                         static_cast<DWORD>(value.size()), m_path.c_str());
            if (length + 1 < value.size()) {
                return Utf8FromWide(std::wstring_view(value.data(), length));
            }
        }
        return {};
    }

    bool Write(std::span<const SettingsEntry> entries) override {
        const std::wstring section = WideFromUtf8(kSettingsSection);
        bool written = true;
        for (const SettingsEntry& entry : entries) {
            written =
                WritePrivateProfileStringW(section.c_str(), WideFromUtf8(entry.key).c_str(),
                                           WideFromUtf8(entry.text).c_str(), m_path.c_str()) &&
                written;
        }
        return written;
    }

  private:
    std::wstring m_path;
};

// The executable's full path, however long: the buffer grows until it holds it all
// (up to the longest path the system has).
std::wstring ModuleFileName() {
    std::vector<wchar_t> buffer(MAX_PATH);
    while (buffer.size() <= 65536) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);
    }
    return {};
}

}  // namespace

std::unique_ptr<SettingsStore> OpenIniStore(const std::filesystem::path& path) {
    return std::make_unique<ProfileIniStore>(path.wstring());
}

std::filesystem::path GetIniPath() {
    std::wstring directory = ModuleFileName();
    directory.erase(directory.find_last_of(L"\\/") + 1);
    return std::filesystem::path(directory + L"Velumin.ini");
}

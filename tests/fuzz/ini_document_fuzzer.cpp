// libFuzzer target for the ini reader and writer: any bytes load without a
// fault, come back byte for byte, and a load-save-load round trip keeps every
// value the first load gave.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/ini_document.h"

namespace {

constexpr std::string_view kSection = "Settings";
constexpr std::string_view kKeys[] = {"UseKeybordLed", "UseReceiveLed", "UseSendLed",
                                      "ReceiveLed",    "SendLed",       "SerialPortNum",
                                      "UseSerialLed",  "LedInversion"};
constexpr int kDefaults[] = {0, 0, 0, 0, 0, 1, 0, 0};

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "ini round trip broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    IniDocument document = IniDocument::Parse(bytes);
    Check(document.Serialize() == bytes, "an untouched document changed");

    int loaded[std::size(kKeys)];
    for (std::size_t i = 0; i < std::size(kKeys); ++i) {
        loaded[i] = ProfileIntFromValue(document.GetValue(kSection, kKeys[i]), kDefaults[i]);
    }
    for (std::size_t i = 0; i < std::size(kKeys); ++i) {
        document.SetValue(kSection, kKeys[i], std::to_string(loaded[i]));
    }
    const IniDocument reloaded = IniDocument::Parse(document.Serialize());
    for (std::size_t i = 0; i < std::size(kKeys); ++i) {
        Check(ProfileIntFromValue(reloaded.GetValue(kSection, kKeys[i]), kDefaults[i]) == loaded[i],
              "a value changed through load-save-load");
    }
    return 0;
}

// Real files for the settings tests: a private temporary directory, three stand-in lamps.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "fakes/fake_lock_key_driver.h"
#include "lamps/keyboard_led.h"
#include "settings/settings_store.h"

namespace settingstest {

// Three lamps on an in-memory keyboard, index 0, 1, 2 as in the program.
inline const KeyboardLedTable& TestLamps() {
    static FakeLockKeyDriver keyboard;
    static CKeyboardLed caps(kVirtualKeyCapsLock, keyboard);
    static CKeyboardLed scroll(kVirtualKeyScrollLock, keyboard);
    static CKeyboardLed num(kVirtualKeyNumLock, keyboard);
    static const KeyboardLedTable lamps = {&caps, &scroll, &num};
    return lamps;
}

inline CKeyboardLed* Lamp(int index) {
    return TestLamps().at(static_cast<std::size_t>(index));
}

inline void WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The file's lines without their line ends, blank lines left out.
inline std::vector<std::string> NonBlankLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.find_first_not_of(" \t") != std::string::npos) {
            lines.push_back(line);
        }
    }
    return lines;
}

// A fresh directory of the test's own under the system's temporary directory,
// removed with everything in it at the end of the test.
class TempDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device random;
        m_dir = std::filesystem::temp_directory_path() /
                ("velumin-settings-" + std::to_string(random()) + std::to_string(random()));
        ASSERT_TRUE(std::filesystem::create_directory(m_dir)) << m_dir;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    std::filesystem::path m_dir;
};

}  // namespace settingstest

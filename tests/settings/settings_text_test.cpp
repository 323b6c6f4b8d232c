// The Interfaces line through this platform's store: read as written, never written.
#include <gtest/gtest.h>

#include <string>

#include "settings/settings_store.h"
#include "settings_test_files.h"

namespace {

using settingstest::Lamp;
using settingstest::TestLamps;
using settingstest::WriteBytes;

class SettingsText : public settingstest::TempDirTest {};

TEST_F(SettingsText, InterfacesLineIsReadAsWrittenAndOutlivesASave) {
    const std::filesystem::path ini = m_dir / "Velumin.ini";
    EXPECT_EQ(OpenIniStore(ini)->ReadText(kInterfacesKey), "") << "no file";
    // Longer than a first guess at a buffer, with quotes and blanks around it.
    std::string patterns = "!lo, !docker*";
    for (int i = 0; i < 100; ++i) {
        patterns += ", !veth" + std::to_string(i) + "*";
    }
    WriteBytes(ini, "[Settings]\r\n  interfaces = \"" + patterns + "\" \r\nSerialPortNum=3\r\n");
    EXPECT_EQ(OpenIniStore(ini)->ReadText(kInterfacesKey), patterns);

    LampSettingsRecord settings(Lamp(0), Lamp(1));
    ASSERT_TRUE(SaveSettings(settings, *OpenIniStore(ini), TestLamps()));
    EXPECT_EQ(OpenIniStore(ini)->ReadText(kInterfacesKey), patterns);
}

}  // namespace

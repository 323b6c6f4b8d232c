// The Interfaces line through this platform's store: read as written, never written.
#include <gtest/gtest.h>

#include <string>

#include "settings/settings_store.h"
#include "settings_test_files.h"

namespace {

class SettingsText : public settingstest::TempDirTest {};

TEST_F(SettingsText, InterfacesLineIsReadWholeAndOutlivesASave) {
    const std::filesystem::path ini = m_dir / "Velumin.ini";
    EXPECT_EQ(OpenIniStore(ini)->ReadText(kInterfacesKey), "") << "no file";
    std::string patterns = "!lo";  // longer than a first guess at a buffer
    for (int i = 0; i < 100; ++i) {
        patterns += ", !veth" + std::to_string(i) + "*";
    }
    settingstest::WriteBytes(ini, "[Settings]\r\n  interfaces = \"" + patterns + "\" \r\n");
    LampSettingsRecord settings(settingstest::Lamp(0), settingstest::Lamp(1));
    ASSERT_TRUE(SaveSettings(settings, *OpenIniStore(ini), settingstest::TestLamps()));
    EXPECT_EQ(OpenIniStore(ini)->ReadText(kInterfacesKey), patterns);
}

}  // namespace

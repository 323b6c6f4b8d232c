// Loading and saving the settings through this platform's store on real files:
// the Linux reader and writer, or the Windows profile functions under Wine.
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <string>

#include "fakes/lamp_rig.h"
#include "support/files.h"

namespace {

class SettingsFile : public ::testing::Test {
  protected:
    void Load() { LoadSettings(rig.settings, *OpenIniStore(ini), rig.lamps); }
    bool Save() { return SaveSettings(rig.settings, *OpenIniStore(ini), rig.lamps); }

    testsupport::TempDir dir;
    const std::filesystem::path ini = dir / "Velumin.ini";
    fakes::LampRig rig;  // receive on CapsLock (0), send on ScrollLock (1)
};

TEST_F(SettingsFile, NoFileGivesTheDefaultsAndEveryValueComesBackAsHeld) {
    rig.settings.useReceiveLed = 5;
    Load();
    EXPECT_FALSE(std::filesystem::exists(ini)) << "loading created the file";
    EXPECT_EQ(rig.settings.sendLed.load(), &rig.caps);
    ASSERT_TRUE(Save());
    std::string saved = testsupport::ReadFile(ini);
    std::erase(saved, '\r');
    EXPECT_EQ(saved,
              "[Settings]\nUseKeybordLed=0\nUseReceiveLed=0\nUseSendLed=0\nReceiveLed=0\n"
              "SendLed=0\nSerialPortNum=1\nUseSerialLed=0\nLedInversion=0\n");

    // Each different from the others and from a fresh record, values past 0 and 1 included.
    using R = LampSettingsRecord;
    const std::pair<std::atomic<int> R::*, int> values[] = {
        {&R::useKeyboardLed, 2}, {&R::useReceiveLed, 0}, {&R::useSendLed, 3},
        {&R::serialPortNum, 17}, {&R::useSerialLed, -1}, {&R::ledInversion, 5}};
    for (const auto& [field, value] : values) {
        rig.settings.*field = value;
    }
    rig.settings.receiveLed = &rig.num;
    rig.settings.sendLed = &rig.caps;
    ASSERT_TRUE(Save());
    fakes::LampRig loaded;
    LoadSettings(loaded.settings, *OpenIniStore(ini), loaded.lamps);
    for (const auto& [field, value] : values) {
        EXPECT_EQ((loaded.settings.*field).load(), value);
    }
    EXPECT_EQ(loaded.settings.receiveLed.load(), &loaded.num);
    EXPECT_EQ(loaded.settings.sendLed.load(), &loaded.caps);
    // A lamp index outside the list keeps the lamp.
    testsupport::WriteFile(ini, "[Settings]\nReceiveLed=7\nSendLed=-1\n");
    Load();
    EXPECT_EQ(rig.settings.receiveLed.load(), &rig.num);
    EXPECT_EQ(rig.settings.sendLed.load(), &rig.caps);
}

TEST_F(SettingsFile, InterfacesLineIsReadWholeAndOutlivesASave) {
    EXPECT_EQ(OpenIniStore(ini)->ReadText(kInterfacesKey), "") << "no file";
    const std::string patterns = "!lo" + std::string(2000, '*');  // past a first guess at a buffer
    testsupport::WriteFile(ini, "[Settings]\r\n  interfaces = \"" + patterns + "\" \r\n");
    ASSERT_TRUE(Save());
    EXPECT_EQ(OpenIniStore(ini)->ReadText(kInterfacesKey), patterns);
}

}  // namespace

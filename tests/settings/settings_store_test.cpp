// Loading and saving the settings through this platform's store on real files:
// the Linux reader and writer, or the Windows profile functions under Wine.
#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "fakes/lamp_rig.h"
#include "support/files.h"

namespace {

using Lines = std::vector<std::string>;

// The file's lines without line ends, blank ones left out.
Lines NonBlankLines(const std::string& bytes) {
    Lines lines;
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
    EXPECT_EQ(
        NonBlankLines(testsupport::ReadFile(ini)),
        (Lines{"[Settings]", "UseKeybordLed=0", "UseReceiveLed=0", "UseSendLed=0", "ReceiveLed=0",
               "SendLed=0", "SerialPortNum=1", "UseSerialLed=0", "LedInversion=0"}));

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

TEST_F(SettingsFile, SaveKeepsEveryOtherLineInItsPlaceAndTheFilesLineEnds) {
    testsupport::WriteFile(ini,
                           "; settings of the lamps\r\n[Before]\r\nColour=red\r\n\r\n[Settings]\r\n"
                           "; chosen by hand\r\nusekeybordled=0\r\nExtra=41\r\nSerialPortNum=3\r\n"
                           "SerialPortNum=4\r\n\r\n[After]\r\nSerialPortNum=9\r\n");
    Load();
    EXPECT_EQ(rig.settings.serialPortNum.load(), 3);
    rig.settings.useKeyboardLed = 1;
    rig.settings.serialPortNum = 5;
    ASSERT_TRUE(Save());
    const std::string saved = testsupport::ReadFile(ini);
    // Our keys updated where they stood, the missing ones added before [After].
    EXPECT_EQ(
        NonBlankLines(saved),
        (Lines{"; settings of the lamps", "[Before]", "Colour=red", "[Settings]",
               "; chosen by hand", "usekeybordled=1", "Extra=41", "SerialPortNum=5",
               "SerialPortNum=4", "UseReceiveLed=0", "UseSendLed=0", "ReceiveLed=0", "SendLed=0",
               "UseSerialLed=0", "LedInversion=0", "[After]", "SerialPortNum=9"}));
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'),
              std::count(saved.begin(), saved.end(), '\r'))
        << "a bare line feed";
}

TEST_F(SettingsFile, InterfacesLineIsReadWholeAndOutlivesASave) {
    EXPECT_EQ(OpenIniStore(ini)->ReadText(kInterfacesKey), "") << "no file";
    const std::string patterns = "!lo" + std::string(2000, '*');  // past a first guess at a buffer
    testsupport::WriteFile(ini, "[Settings]\r\n  interfaces = \"" + patterns + "\" \r\n");
    ASSERT_TRUE(Save());
    EXPECT_EQ(OpenIniStore(ini)->ReadText(kInterfacesKey), patterns);
}

}  // namespace

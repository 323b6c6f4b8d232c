// Loading and saving the settings through this platform's ini store on real files: the
// Linux reader and writer here, the Windows profile functions under Wine in the other build.
#include "settings/settings_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/ini_document.h"
#include "settings_test_files.h"

namespace {

using settingstest::Lamp;
using settingstest::NonBlankLines;
using settingstest::ReadBytes;
using settingstest::TestLamps;
using settingstest::WriteBytes;
using ::testing::ElementsAre;

class SettingsFile : public settingstest::TempDirTest {
  protected:
    std::filesystem::path Ini() const { return m_dir / "Velumin.ini"; }

    // Loads from the file into a record that starts with the values held before loading.
    void Load(LampSettingsRecord& settings) {
        LoadSettings(settings, *OpenIniStore(Ini()), TestLamps());
    }
    bool Save(const LampSettingsRecord& settings) {
        return SaveSettings(settings, *OpenIniStore(Ini()), TestLamps());
    }
    int Read(std::string_view key, int defaultValue) {
        return OpenIniStore(Ini())->ReadInt(key, defaultValue);
    }
};

TEST_F(SettingsFile, NoFileGivesTheDefaults) {
    LampSettingsRecord settings(Lamp(0), Lamp(1));
    Load(settings);
    EXPECT_EQ(settings.useKeyboardLed.load(), 0);
    EXPECT_EQ(settings.useReceiveLed.load(), 0);
    EXPECT_EQ(settings.useSendLed.load(), 0);
    EXPECT_EQ(settings.receiveLed.load(), Lamp(0));
    EXPECT_EQ(settings.sendLed.load(), Lamp(0));
    EXPECT_EQ(settings.serialPortNum.load(), 1);
    EXPECT_EQ(settings.useSerialLed.load(), 0);
    EXPECT_EQ(settings.ledInversion.load(), 0);
    EXPECT_FALSE(std::filesystem::exists(Ini())) << "loading must not create the file";
}

TEST_F(SettingsFile, SaveAfterAFreshStartWritesTheEightKeysInOrder) {
    LampSettingsRecord settings(Lamp(0), Lamp(1));
    Load(settings);
    ASSERT_TRUE(Save(settings));
    EXPECT_THAT(NonBlankLines(ReadBytes(Ini())),
                ElementsAre("[Settings]", "UseKeybordLed=0", "UseReceiveLed=0", "UseSendLed=0",
                            "ReceiveLed=0", "SendLed=0", "SerialPortNum=1", "UseSerialLed=0",
                            "LedInversion=0"));
}

TEST_F(SettingsFile, EveryValueComesBackUnderItsOwnKey) {
    LampSettingsRecord saved(Lamp(2), Lamp(1));
    saved.useKeyboardLed = 1;
    saved.useReceiveLed = 0;
    saved.useSendLed = 1;
    saved.serialPortNum = 17;
    saved.useSerialLed = 1;
    saved.ledInversion = 1;
    ASSERT_TRUE(Save(saved));

    LampSettingsRecord loaded(Lamp(0), Lamp(0));
    loaded.useReceiveLed = 1;
    Load(loaded);
    EXPECT_EQ(loaded.useKeyboardLed.load(), 1);
    EXPECT_EQ(loaded.useReceiveLed.load(), 0);
    EXPECT_EQ(loaded.useSendLed.load(), 1);
    EXPECT_EQ(loaded.receiveLed.load(), Lamp(2));
    EXPECT_EQ(loaded.sendLed.load(), Lamp(1));
    EXPECT_EQ(loaded.serialPortNum.load(), 17);
    EXPECT_EQ(loaded.useSerialLed.load(), 1);
    EXPECT_EQ(loaded.ledInversion.load(), 1);
}

TEST_F(SettingsFile, LampIndexOutOfRangeKeepsTheReferenceAndIsWrittenBackAsItsIndex) {
    WriteBytes(Ini(), "[Settings]\nReceiveLed=7\nSendLed=-1\n");
    LampSettingsRecord settings(Lamp(0), Lamp(1));
    Load(settings);
    EXPECT_EQ(settings.receiveLed.load(), Lamp(0));
    EXPECT_EQ(settings.sendLed.load(), Lamp(1));

    settings.receiveLed = Lamp(2);
    ASSERT_TRUE(Save(settings));
    EXPECT_EQ(Read("ReceiveLed", -9), 2);
    EXPECT_EQ(Read("SendLed", -9), 1);
}

TEST_F(SettingsFile, SerialPortZeroIsKeptNotReplacedByTheDefault) {
    WriteBytes(Ini(), "[Settings]\nSerialPortNum=0\n");
    LampSettingsRecord settings(Lamp(0), Lamp(1));
    Load(settings);
    EXPECT_EQ(settings.serialPortNum.load(), 0);
    ASSERT_TRUE(Save(settings));
    EXPECT_EQ(Read("SerialPortNum", 1), 0);
}

TEST_F(SettingsFile, ValuesAreWrittenAsHeld) {
    LampSettingsRecord settings(Lamp(0), Lamp(1));
    settings.useKeyboardLed = 2;
    settings.useSerialLed = -1;
    settings.ledInversion = 5;
    ASSERT_TRUE(Save(settings));
    const std::vector<std::string> lines = NonBlankLines(ReadBytes(Ini()));
    EXPECT_THAT(lines, ::testing::Contains("UseKeybordLed=2"));
    EXPECT_THAT(lines, ::testing::Contains("UseSerialLed=-1"));
    EXPECT_THAT(lines, ::testing::Contains("LedInversion=5"));

    LampSettingsRecord loaded(Lamp(0), Lamp(1));
    Load(loaded);
    EXPECT_EQ(loaded.useKeyboardLed.load(), 2);
    EXPECT_FALSE(IsOn(loaded.useKeyboardLed.load()));
    EXPECT_EQ(loaded.ledInversion.load(), 5);
}

// How one value is read, for every way the file can spell it.
struct Spelling {
    const char* file;  // cppcheck-suppress unusedStructMember
    int expected;      // cppcheck-suppress unusedStructMember
};

class SettingsFileSpelling : public SettingsFile, public ::testing::WithParamInterface<Spelling> {};

TEST_P(SettingsFileSpelling, ReadsAsTheProfileFunctionsDo) {
    WriteBytes(Ini(), GetParam().file);
    EXPECT_EQ(Read("SerialPortNum", 1), GetParam().expected) << GetParam().file;
}

INSTANTIATE_TEST_SUITE_P(
    Names, SettingsFileSpelling,
    ::testing::Values(Spelling{"[Settings]\nSERIALPORTNUM=5\n", 5},
                      Spelling{"[sEtTiNgS]\nserialportnum=5\n", 5},
                      Spelling{"  [Settings]  \n \t SerialPortNum \t= \t 5 \t \n", 5},
                      Spelling{"[Other]\nSerialPortNum=5\n", 1},
                      Spelling{"SerialPortNum=5\n[Settings]\n", 1},
                      Spelling{"[Settings]\nSerialPortNumber=5\nSerialPort=6\n", 1},
                      Spelling{"[Settings]\nSerialPortNum=5\nSerialPortNum=6\n", 5},
                      Spelling{"[Settings]\nSerialPortNum=3\n[Other]\nSerialPortNum=6\n", 3},
                      Spelling{"[ Settings ]\nSerialPortNum=5\n", 5},
                      Spelling{"[Settings] ; note\nSerialPortNum=5\n", 5},
                      Spelling{"[Settings]\nA=1\n[Settings]\nSerialPortNum=5\n", 1}));

INSTANTIATE_TEST_SUITE_P(
    Values, SettingsFileSpelling,
    ::testing::Values(Spelling{"[Settings]\nSerialPortNum=+8\n", 8},
                      Spelling{"[Settings]\nSerialPortNum=-4\n", -4},
                      Spelling{"[Settings]\nSerialPortNum=12abc\n", 12},
                      Spelling{"[Settings]\nSerialPortNum=3 4\n", 3},
                      Spelling{"[Settings]\nSerialPortNum=abc\n", 0},
                      Spelling{"[Settings]\nSerialPortNum=-\n", 0},
                      Spelling{"[Settings]\nSerialPortNum=\n", 1},
                      Spelling{"[Settings]\nSerialPortNum=  \n", 1},
                      Spelling{"[Settings]\nSerialPortNum\n", 1},
                      Spelling{"[Settings]\nSerialPortNum=\"9\"\n", 9},
                      Spelling{"[Settings]\nSerialPortNum=2147483647\n", 2147483647},
                      Spelling{"[Settings]\nSerialPortNum=-2147483648\n", -2147483647 - 1},
                      Spelling{"[Settings]\r\nSerialPortNum=7\r\n", 7},
                      Spelling{"[Settings]\r\nSerialPortNum=7", 7}));

TEST_F(SettingsFile, SaveKeepsEveryOtherLineCommentAndSection) {
    WriteBytes(Ini(),
               "; settings of the lamps\r\n"
               "[Before]\r\n"
               "Colour=red\r\n"
               "\r\n"
               "[Settings]\r\n"
               "; chosen by hand\r\n"
               "usekeybordled=0\r\n"
               "Extra=41\r\n"
               "SerialPortNum=3\r\n"
               "SerialPortNum=4\r\n"
               "\r\n"
               "[After]\r\n"
               "SerialPortNum=9\r\n");
    LampSettingsRecord settings(Lamp(0), Lamp(1));
    Load(settings);
    EXPECT_EQ(settings.serialPortNum.load(), 3);
    settings.useKeyboardLed = 1;
    settings.serialPortNum = 5;
    ASSERT_TRUE(Save(settings));

    const std::string saved = ReadBytes(Ini());
    const std::vector<std::string> lines = NonBlankLines(saved);
    // The foreign lines in their order; our keys updated where they stood, the
    // missing ones added to the section before [After].
    EXPECT_THAT(lines, ElementsAre("; settings of the lamps", "[Before]", "Colour=red",
                                   "[Settings]", "; chosen by hand", "usekeybordled=1", "Extra=41",
                                   "SerialPortNum=5", "SerialPortNum=4", "UseReceiveLed=0",
                                   "UseSendLed=0", "ReceiveLed=0", "SendLed=0", "UseSerialLed=0",
                                   "LedInversion=0", "[After]", "SerialPortNum=9"));
    // Every line still ends in CR LF.
    std::size_t feeds = 0;
    for (std::size_t i = 0; i < saved.size(); ++i) {
        if (saved[i] == '\n') {
            ++feeds;
            EXPECT_TRUE(i > 0 && saved[i - 1] == '\r') << "bare line feed at byte " << i;
        }
    }
    EXPECT_GE(feeds, lines.size());

    const IniDocument document = IniDocument::Parse(saved);
    EXPECT_EQ(document.GetValue("Before", "Colour"), "red");
    EXPECT_EQ(document.GetValue("After", "SerialPortNum"), "9");
}

}  // namespace

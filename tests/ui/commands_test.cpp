// The tray menu's commands on a host and an ini file that record their steps
// among the serial lamp's: the Settings exchange and the order of its steps,
// the About text. (The keyboard switch and the guards are the end-to-end runs'.)
#include "ui/commands.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "fakes/lamp_rig.h"
#include "resource.h"
#include "settings/settings_store.h"

namespace {

class Commands : public ::testing::Test, public CommandHost, public SettingsStore {
  protected:
    bool ShowSettings(SettingsForm& form) override {
        rig.fake.Note("settings dialog");
        return settingsDialog(form);
    }
    void ShowAbout(const std::string& text, const std::string& url) override {
        rig.fake.Note("about dialog: " + text + url);
    }
    bool Ask(const std::string& question) override { return !question.empty(); }
    void Stop() override {}
    bool Stopping() const override { return false; }
    int ReadInt(std::string_view /*key*/, int defaultValue) override { return defaultValue; }
    // A save shows its UseReceiveLed and SendLed values.
    bool Write(std::span<const SettingsEntry> entries) override {
        rig.fake.Note("save " + entries[1].text + entries[4].text);
        return true;
    }

    std::function<bool(SettingsForm&)> settingsDialog;
    fakes::LampRig rig;
    DialogSlots busy{};
    TrayCommands commands{*this, rig.settings, rig.lamps, *this, rig.port, busy};
};

TEST_F(Commands, SettingsShowsTheRecordAndOkStoresSavesThenReappliesTheSerialLamp) {
    rig.settings.serialPortNum = 20;
    rig.settings.useSendLed = 2;
    rig.settings.receiveLed = &rig.num;
    settingsDialog = [this](SettingsForm& form) {
        EXPECT_EQ(form, (SettingsForm{1, 2, 2, 1, 19, 0, 0}));
        form = SettingsForm{0, 1, 3, 0, 4, 1, 1};  // a key index outside the list keeps the key
        EXPECT_EQ(rig.settings.serialPortNum, 20) << "stored before the dialog closed";
        return true;
    };
    commands.OnCommand(IDM_SETTINGS);
    EXPECT_EQ(rig.fake.Take(), "settings dialog, save 00, open 5, SETDTR, SETRTS");
    EXPECT_EQ(LoadSettingsForm(rig.settings, rig.lamps), (SettingsForm{0, 1, 2, 0, 4, 1, 1}));

    settingsDialog = [](SettingsForm& form) {
        form.m_serialPortIndex = -1;  // no port chosen: port 0, none
        return true;
    };
    commands.OnSettings();
    EXPECT_EQ(rig.settings.serialPortNum, 0);
    EXPECT_EQ(LoadSettingsForm(rig.settings, rig.lamps).m_serialPortIndex, -1);
    rig.fake.Take();
    settingsDialog = [](SettingsForm& form) {
        form = SettingsForm{1, 1, 1, 1, 1, 0, 0};
        return false;
    };
    commands.OnSettings();
    EXPECT_EQ(rig.fake.Take(), "settings dialog") << "Cancel stores nothing";
    EXPECT_EQ(rig.settings.useReceiveLed, 0);
}

TEST_F(Commands, AboutTellsTheVersionAndThePages) {
    commands.OnCommand(IDM_ABOUT);
    EXPECT_EQ(
        rig.fake.Take(),
        "about dialog: Velumin Version1.00\r\n(C) The Velumin developers\r\n\r\n"
        "http://velumin.example/hw/\r\nhttp://velumin.example/hw/software/velumin/index.html");
}

}  // namespace

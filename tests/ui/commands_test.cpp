// The tray menu's commands on a host and an ini file that record their steps
// among the serial lamp's: guards, the order of steps, the form exchange, texts.
#include "ui/commands.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "fakes/lamp_rig.h"
#include "resource.h"
#include "settings/settings_store.h"
#include "ui/about.h"
#include "ui/dialog_slots.h"

namespace {

using fakes::Events;

class Commands : public ::testing::Test, public CommandHost, public SettingsStore {
  protected:
    bool ShowSettings(SettingsForm& form) override {
        rig.fake.Note("settings dialog");
        return settingsDialog(form);
    }
    void ShowAbout(const std::string& text, const std::string& url) override {
        rig.fake.Note("about dialog: " + text + url);
        aboutDialog();
    }
    bool Ask(const std::string& question) override {
        rig.fake.Note("ask " + question);
        return answer();
    }
    void Stop() override {
        rig.fake.Note(busy[kExitSlot] ? "stop, question open" : "stop");
        stopping = true;
    }
    bool Stopping() const override { return stopping; }
    int ReadInt(std::string_view /*key*/, int defaultValue) override { return defaultValue; }
    // A save shows its UseReceiveLed and SendLed values.
    bool Write(std::span<const SettingsEntry> entries) override {
        rig.fake.Note("save " + entries[1].text + entries[4].text);
        return true;
    }
    void TearDown() override { EXPECT_EQ(busy, DialogSlots{}) << "a dialog slot was left busy"; }

    std::function<bool(SettingsForm&)> settingsDialog = [](SettingsForm&) { return true; };
    std::function<void()> aboutDialog = [] {};
    std::function<bool()> answer = [] { return true; };
    bool stopping = false;
    fakes::LampRig rig;
    DialogSlots busy{};
    TrayCommands commands{*this, rig.settings, rig.lamps, *this, rig.port, busy};
    const std::string ask = "ask 終了しますか？";
};

TEST_F(Commands, KeyboardSwitchFlipsWithoutSavingAndGivesTheCheckMark) {
    for (const auto& [before, after] : {std::pair{1, 0}, {0, 1}, {2, 1}, {-1, 1}}) {
        rig.settings.useKeyboardLed = before;
        commands.OnCommand(IDM_KEYBOARD_LED);
        EXPECT_EQ(rig.settings.useKeyboardLed, after) << "from " << before;
        EXPECT_EQ(commands.KeyboardLedChecked(), after == 1);
    }
    commands.OnCommand(1);  // IDOK, the host dialog's Enter: no command
    EXPECT_EQ(rig.fake.Take(), Events{});
}

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
    EXPECT_EQ(rig.fake.Take(),
              (Events{"settings dialog", "save 00", "open 5", "SETDTR", "SETRTS"}));
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
    EXPECT_EQ(rig.fake.Take(), Events{"settings dialog"}) << "Cancel stores nothing";
    EXPECT_EQ(rig.settings.useReceiveLed, 0);
}

// A command chosen again while its own window is open does nothing; another
// runs; Exit answered No keeps the program and may be chosen again.
TEST_F(Commands, NoCommandIsEnteredTwice) {
    settingsDialog = [this](SettingsForm&) {
        commands.OnCommand(IDM_SETTINGS);
        commands.OnCommand(IDM_ABOUT);
        return false;
    };
    aboutDialog = [this] { commands.OnCommand(IDM_ABOUT); };
    answer = [this] {
        commands.OnCommand(IDM_EXIT);
        commands.OnCommand(IDM_ABOUT);
        return false;
    };
    commands.OnCommand(IDM_SETTINGS);
    commands.OnCommand(IDM_EXIT);
    commands.OnCommand(IDM_EXIT);
    const std::string about =
        "about dialog: Velumin Version1.00\r\n(C) The Velumin developers\r\n\r\n"
        "http://velumin.example/hw/\r\nhttp://velumin.example/hw/software/velumin/index.html";
    EXPECT_EQ(rig.fake.Take(), (Events{"settings dialog", about, ask, about, ask, about}));
    EXPECT_FALSE(stopping);
}

TEST_F(Commands, ExitYesStopsOnceAndNoCommandRunsOnceStopping) {
    commands.OnCommand(IDM_EXIT);
    stopping = false;
    // A close request while the Exit question is open, then Yes, then more commands.
    answer = [this] {
        Stop();
        return true;
    };
    commands.OnCommand(IDM_EXIT);
    commands.OnCommand(IDM_SETTINGS);
    EXPECT_EQ(rig.fake.Take(), (Events{ask, "stop", ask, "stop, question open"}));
}

TEST(WebPage, OnlyYesOpensThePage) {
    struct : WebPageHost {
        bool Ask(const std::string& question) override {
            steps.push_back(question);
            return yes;
        }
        void OpenUrl(const std::string& url) override { steps.push_back("open " + url); }
        bool yes = false;
        Events steps;
    } web;
    OpenWebPage("http://velumin.example/p", web);
    web.yes = true;
    OpenWebPage("http://velumin.example/p", web);
    const std::string question =
        "ヘルプを表示するため\r\nhttp://velumin.example/p\r\nへ接続しますか？";
    EXPECT_EQ(web.steps, (Events{question, question, "open http://velumin.example/p"}));
}

TEST(DialogSlots, NoSlotBeyondTheTableIsTaken) {
    DialogSlots busy{};
    EXPECT_EQ(AcquireDialogSlot(busy, 3), 0);
    ReleaseDialogSlot(busy, 3);
    EXPECT_EQ(busy, DialogSlots{});
}

}  // namespace

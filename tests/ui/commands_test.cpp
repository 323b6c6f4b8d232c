// The tray menu's commands: guards, the order of their steps, the form exchange.
#include "ui/commands.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fakes/fake_lock_key_driver.h"
#include "fakes/fake_serial_line_driver.h"
#include "lamps/keyboard_led.h"
#include "lamps/serial_port.h"
#include "resource.h"
#include "settings/lamp_settings.h"
#include "settings/settings_store.h"
#include "ui/dialog_slots.h"

namespace {

using Steps = std::vector<std::string>;

// Three lamps on an in-memory keyboard, as the program has them.
struct Lamps {
    FakeLockKeyDriver keyboard;
    CKeyboardLed caps{kVirtualKeyCapsLock, keyboard};
    CKeyboardLed scroll{kVirtualKeyScrollLock, keyboard};
    CKeyboardLed num{kVirtualKeyNumLock, keyboard};
    KeyboardLedTable table{&caps, &scroll, &num};
};

TEST(DialogSlots, BusySlotRefusesAndSlotsAreIndependent) {
    DialogSlots dialogBusy{};
    ASSERT_EQ(AcquireDialogSlot(dialogBusy, kSettingsSlot), 1);
    EXPECT_EQ(AcquireDialogSlot(dialogBusy, kSettingsSlot), 0);
    EXPECT_EQ(dialogBusy[kSettingsSlot], 1);
    EXPECT_EQ(AcquireDialogSlot(dialogBusy, kAboutSlot), 1);
    EXPECT_EQ(AcquireDialogSlot(dialogBusy, kExitSlot), 1);
    ReleaseDialogSlot(dialogBusy, kSettingsSlot);
    EXPECT_EQ(dialogBusy[kAboutSlot], 1);
    EXPECT_EQ(AcquireDialogSlot(dialogBusy, kSettingsSlot), 1);
    for (std::uint8_t slot : {kSettingsSlot, kAboutSlot, kExitSlot}) {
        ReleaseDialogSlot(dialogBusy, slot);
        EXPECT_EQ(dialogBusy[slot], 0);
    }
    EXPECT_EQ(AcquireDialogSlot(dialogBusy, 3), 0);  // no such slot: nothing is written
}

TEST(SettingsForm, LoadsEveryMemberFromTheSettings) {
    Lamps lamps;
    LampSettingsRecord settings(&lamps.num, &lamps.caps);
    settings.useReceiveLed = 0;
    settings.useSendLed = 2;
    settings.serialPortNum = 20;
    settings.useSerialLed = 1;
    settings.ledInversion = 1;
    const SettingsForm form = LoadSettingsForm(settings, lamps.table);
    EXPECT_EQ(form.m_useReceiveLed, 0);
    EXPECT_EQ(form.m_useSendLed, 2);
    EXPECT_EQ(form.m_receiveLedIndex, 2);
    EXPECT_EQ(form.m_sendLedIndex, 0);
    EXPECT_EQ(form.m_serialPortIndex, 19);
    EXPECT_EQ(form.m_useSerialLed, 1);
    EXPECT_EQ(form.m_ledInversion, 1);

    settings.serialPortNum = 0;
    EXPECT_EQ(LoadSettingsForm(settings, lamps.table).m_serialPortIndex, -1);
}

TEST(SettingsForm, StoreKeepsReferencesForIndicesOutsideTheListAndNoPortIsZero) {
    Lamps lamps;
    LampSettingsRecord settings(&lamps.caps, &lamps.scroll);
    SettingsForm form;
    form.m_useReceiveLed = 1;
    form.m_useSendLed = 0;
    form.m_receiveLedIndex = -1;
    form.m_sendLedIndex = 3;
    form.m_serialPortIndex = -1;
    form.m_useSerialLed = 1;
    form.m_ledInversion = 1;
    StoreSettingsForm(form, settings, lamps.table);
    EXPECT_EQ(settings.receiveLed, &lamps.caps);
    EXPECT_EQ(settings.sendLed, &lamps.scroll);
    EXPECT_EQ(settings.serialPortNum, 0);
    EXPECT_EQ(settings.useReceiveLed, 1);
    EXPECT_EQ(settings.useSendLed, 0);
    EXPECT_EQ(settings.useSerialLed, 1);
    EXPECT_EQ(settings.ledInversion, 1);

    form.m_receiveLedIndex = 2;
    form.m_sendLedIndex = 1;
    form.m_serialPortIndex = 19;
    StoreSettingsForm(form, settings, lamps.table);
    EXPECT_EQ(settings.receiveLed, &lamps.num);
    EXPECT_EQ(settings.sendLed, &lamps.scroll);
    EXPECT_EQ(settings.serialPortNum, 20);
}

// A shell whose dialogs do what the test says, recording every step.
class RecordingShell : public Shell {
  public:
    std::function<bool(SettingsForm&)> settingsDialog = [](SettingsForm&) { return true; };
    std::function<void()> aboutDialog = [] {};
    std::function<bool()> exitAnswer = [] { return true; };
    Steps steps;
    const DialogSlots* dialogBusy = nullptr;

    bool ShowSettings(SettingsForm& form) override {
        steps.push_back("settings dialog");
        return settingsDialog(form);
    }
    void ShowAbout(const std::string& text, const std::string& url) override {
        steps.push_back("about dialog");
        aboutText = text;
        pageUrl = url;
        aboutDialog();
    }
    bool Ask(const std::string& question) override {
        steps.push_back("ask " + question);
        return exitAnswer();
    }
    bool StopWorker() override {
        steps.push_back("stop worker");
        return true;
    }
    void ReleaseInstanceLock() override { steps.push_back("release lock"); }
    void RemoveTrayIcon() override { steps.push_back("remove tray"); }
    void EndHost() override {
        steps.push_back((*dialogBusy)[kExitSlot] ? "end host, exit slot busy" : "end host");
    }

    std::string aboutText;
    std::string pageUrl;
};

// The ini file in memory: the written entries, and the steps they make.
class RecordingStore final : public SettingsStore {
  public:
    explicit RecordingStore(Steps& steps) : m_steps(steps) {}
    int ReadInt(std::string_view /*key*/, int defaultValue) override { return defaultValue; }
    bool Write(std::span<const SettingsEntry> entries) override {
        m_steps.push_back("save");
        written.assign(entries.begin(), entries.end());
        return true;
    }
    std::vector<SettingsEntry> written;

  private:
    Steps& m_steps;
};

// Serial lines whose opens show up as steps.
class RecordingLines final : public fakes::FakeSerialLineDriver {
  public:
    explicit RecordingLines(Steps& steps) : m_steps(steps) {}
    SerialHandle OpenPort(int portNumber) override {
        m_steps.push_back("apply serial");
        return FakeSerialLineDriver::OpenPort(portNumber);
    }

  private:
    Steps& m_steps;
};

class CommandTest : public ::testing::Test {
  protected:
    CommandTest() {
        host.dialogBusy = &dialogBusy;
        settings.useSerialLed = 1;
    }
    void TearDown() override {
        for (std::uint8_t slot : {kSettingsSlot, kAboutSlot, kExitSlot}) {
            EXPECT_EQ(dialogBusy[slot], 0) << "slot " << int{slot} << " left busy";
        }
    }
    Lamps lamps;
    LampSettingsRecord settings{&lamps.caps, &lamps.scroll};
    RecordingShell host;
    RecordingStore store{host.steps};
    RecordingLines lines{host.steps};
    CSerialPort port{lines};
    DialogSlots dialogBusy{};
    TrayCommands commands{host, settings, lamps.table, store, port, dialogBusy};
};

TEST_F(CommandTest, KeyboardToggleOneGivesZeroAnythingElseGivesOne) {
    for (const auto& [before, after] : {std::pair{1, 0}, {0, 1}, {2, 1}, {-1, 1}}) {
        settings.useKeyboardLed = before;
        commands.OnCommand(IDM_KEYBOARD_LED);
        EXPECT_EQ(settings.useKeyboardLed, after) << "from " << before;
        EXPECT_EQ(commands.KeyboardLedChecked(), after == 1);
    }
    EXPECT_TRUE(host.steps.empty());
}

TEST_F(CommandTest, AcceptedSettingsAreStoredThenSavedThenTheSerialLampReapplied) {
    host.settingsDialog = [this](SettingsForm& form) {
        form.m_sendLedIndex = 2;
        form.m_useSerialLed = 1;
        // Stored only after the dialog has closed.
        EXPECT_EQ(settings.sendLed, &lamps.scroll);
        return true;
    };
    commands.OnCommand(IDM_SETTINGS);
    EXPECT_EQ(host.steps, (Steps{"settings dialog", "save", "apply serial"}));
    EXPECT_EQ(settings.sendLed, &lamps.num);
    ASSERT_EQ(store.written.size(), 8U);
    EXPECT_EQ(store.written[4].text, "2") << "the record the dialog changed is the one saved";
}

TEST_F(CommandTest, UnchangedAcceptStillSavesAndReapplies) {
    host.settingsDialog = [](SettingsForm&) { return true; };
    commands.OnSettings();
    EXPECT_EQ(host.steps, (Steps{"settings dialog", "save", "apply serial"}));
}

TEST_F(CommandTest, CancelledSettingsChangeNothing) {
    settings.useReceiveLed = 0;
    host.settingsDialog = [](SettingsForm& form) {
        form = SettingsForm{1, 1, 2, 2, 5, 1, 1};
        return false;
    };
    commands.OnSettings();
    EXPECT_EQ(host.steps, (Steps{"settings dialog"}));
    EXPECT_EQ(settings.useReceiveLed, 0);
    EXPECT_EQ(settings.receiveLed, &lamps.caps);
    EXPECT_EQ(settings.serialPortNum, 1);
}

TEST_F(CommandTest, SecondSettingsWhileOpenDoesNothingButAboutStillOpens) {
    host.settingsDialog = [this](SettingsForm&) {
        commands.OnCommand(IDM_SETTINGS);
        commands.OnCommand(IDM_ABOUT);
        return false;
    };
    commands.OnSettings();
    EXPECT_EQ(host.steps, (Steps{"settings dialog", "about dialog"}));
}

TEST_F(CommandTest, SecondAboutWhileOpenDoesNothing) {
    host.aboutDialog = [this] { commands.OnAbout(); };
    commands.OnAbout();
    EXPECT_EQ(host.steps, (Steps{"about dialog"}));
    EXPECT_EQ(
        host.aboutText,
        "Velumin Version1.00\r\n(C) The Velumin developers\r\n\r\nhttp://velumin.example/hw/\r\n");
    EXPECT_EQ(host.pageUrl, "http://velumin.example/hw/software/velumin/index.html");
}

TEST_F(CommandTest, ExitAnsweredNoKeepsRunningAndCanBeChosenAgain) {
    host.exitAnswer = [] { return false; };
    commands.OnExit();
    commands.OnExit();
    EXPECT_EQ(host.steps, (Steps{"ask 終了しますか？", "ask 終了しますか？"}));
    EXPECT_FALSE(commands.Stopping());
}

TEST_F(CommandTest, ExitAnsweredYesStopsInOrder) {
    commands.OnCommand(IDM_EXIT);
    EXPECT_EQ(host.steps, (Steps{"ask 終了しますか？", "stop worker", "release lock", "remove tray",
                                 "end host"}));
    EXPECT_TRUE(commands.Stopping());
}

TEST_F(CommandTest, SecondExitWhileTheQuestionIsOpenDoesNothing) {
    host.exitAnswer = [this] {
        commands.OnExit();
        return false;
    };
    commands.OnExit();
    EXPECT_EQ(host.steps, (Steps{"ask 終了しますか？"}));
}

TEST_F(CommandTest, OrderlyStopAsksNothingAndRunsOnceWhateverAsks) {
    // A close request while the Exit question is open, then Yes; later commands.
    host.exitAnswer = [this] {
        commands.OrderlyStop();
        return true;
    };
    commands.OnExit();
    commands.OrderlyStop();
    commands.OnCommand(IDM_SETTINGS);
    EXPECT_EQ(host.steps, (Steps{"ask 終了しますか？", "stop worker", "release lock", "remove tray",
                                 "end host, exit slot busy"}));
}

class RecordingWebPage : public WebPageHost {
  public:
    bool answer = true;
    Steps steps;
    bool Ask(const std::string& question) override {
        steps.push_back("ask " + question);
        return answer;
    }
    void OpenUrl(const std::string& url) override { steps.push_back("open " + url); }
};

TEST(WebPage, NoOpensNothingAnythingElseOpensThePageOnce) {
    RecordingWebPage web;
    web.answer = false;
    OpenWebPage("http://velumin.example/p", web);
    web.answer = true;
    OpenWebPage("http://velumin.example/p", web);
    const std::string question =
        "ask ヘルプを表示するため\r\nhttp://velumin.example/p\r\nへ接続しますか？";
    EXPECT_EQ(web.steps, (Steps{question, question, "open http://velumin.example/p"}));
}

}  // namespace

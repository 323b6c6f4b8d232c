// The tray menu's commands: guards, the order of their steps, the form exchange.
#include "ui/commands.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "lamps/keyboard_led.h"
#include "settings/lamp_settings.h"
#include "ui/dialog_slots.h"

namespace {

using Steps = std::vector<std::string>;

TEST(DialogSlots, BusySlotRefusesAndSlotsAreIndependent) {
    ASSERT_EQ(AcquireDialogSlot(kSettingsSlot), 1);
    EXPECT_EQ(AcquireDialogSlot(kSettingsSlot), 0);
    EXPECT_EQ(dialogBusy[kSettingsSlot], 1);
    EXPECT_EQ(AcquireDialogSlot(kAboutSlot), 1);
    EXPECT_EQ(AcquireDialogSlot(kExitSlot), 1);
    ReleaseDialogSlot(kSettingsSlot);
    EXPECT_EQ(dialogBusy[kAboutSlot], 1);
    EXPECT_EQ(AcquireDialogSlot(kSettingsSlot), 1);
    for (std::uint8_t slot : {kSettingsSlot, kAboutSlot, kExitSlot}) {
        ReleaseDialogSlot(slot);
        EXPECT_EQ(dialogBusy[slot], 0);
    }
    EXPECT_EQ(AcquireDialogSlot(3), 0);  // no such slot: nothing is written
}

TEST(KeyboardToggle, OneGivesZeroAnythingElseGivesOne) {
    LampSettingsRecord settings(&capsLockLed, &scrollLockLed);
    for (const auto& [before, after] : {std::pair{1, 0}, {0, 1}, {2, 1}, {-1, 1}}) {
        settings.useKeyboardLed = before;
        ToggleKeyboardLed(settings);
        EXPECT_EQ(settings.useKeyboardLed, after) << "from " << before;
    }
}

TEST(SettingsForm, LoadsEveryMemberFromTheSettings) {
    LampSettingsRecord settings(&numLockLed, &capsLockLed);
    settings.useReceiveLed = 0;
    settings.useSendLed = 2;
    settings.serialPortNum = 20;
    settings.useSerialLed = 1;
    settings.ledInversion = 1;
    const SettingsForm form = LoadSettingsForm(settings);
    EXPECT_EQ(form.m_useReceiveLed, 0);
    EXPECT_EQ(form.m_useSendLed, 2);
    EXPECT_EQ(form.m_receiveLedIndex, 2);
    EXPECT_EQ(form.m_sendLedIndex, 0);
    EXPECT_EQ(form.m_serialPortIndex, 19);
    EXPECT_EQ(form.m_useSerialLed, 1);
    EXPECT_EQ(form.m_ledInversion, 1);

    settings.serialPortNum = 0;
    EXPECT_EQ(LoadSettingsForm(settings).m_serialPortIndex, -1);
}

TEST(SettingsForm, StoreKeepsReferencesForIndicesOutsideTheListAndNoPortIsZero) {
    LampSettingsRecord settings(&capsLockLed, &scrollLockLed);
    SettingsForm form;
    form.m_useReceiveLed = 1;
    form.m_useSendLed = 0;
    form.m_receiveLedIndex = -1;
    form.m_sendLedIndex = 3;
    form.m_serialPortIndex = -1;
    form.m_useSerialLed = 1;
    form.m_ledInversion = 1;
    StoreSettingsForm(form, settings);
    EXPECT_EQ(settings.receiveLed, &capsLockLed);
    EXPECT_EQ(settings.sendLed, &scrollLockLed);
    EXPECT_EQ(settings.serialPortNum, 0);
    EXPECT_EQ(settings.useReceiveLed, 1);
    EXPECT_EQ(settings.useSendLed, 0);
    EXPECT_EQ(settings.useSerialLed, 1);
    EXPECT_EQ(settings.ledInversion, 1);

    form.m_receiveLedIndex = 2;
    form.m_sendLedIndex = 1;
    form.m_serialPortIndex = 19;
    StoreSettingsForm(form, settings);
    EXPECT_EQ(settings.receiveLed, &numLockLed);
    EXPECT_EQ(settings.sendLed, &scrollLockLed);
    EXPECT_EQ(settings.serialPortNum, 20);
}

// A host whose dialog does what the test says, recording every step.
class RecordingHosts : public SettingsCommandHost, public AboutCommandHost, public ExitCommandHost {
  public:
    std::function<bool(SettingsForm&)> settingsDialog = [](SettingsForm&) { return true; };
    std::function<void()> aboutDialog = [] {};
    std::function<bool()> exitAnswer = [] { return true; };
    Steps steps;

    bool RunSettingsDialog(SettingsForm& form) override {
        steps.push_back("settings dialog");
        return settingsDialog(form);
    }
    void SaveSettings() override { steps.push_back("save"); }
    void ApplySerialLamp() override { steps.push_back("apply serial"); }
    void RunAboutDialog(const std::string& text, const std::string& url) override {
        steps.push_back("about dialog");
        aboutText = text;
        pageUrl = url;
        aboutDialog();
    }
    bool AskExit(const std::string& question) override {
        steps.push_back("ask " + question);
        return exitAnswer();
    }
    void StopWorker() override { steps.push_back("stop worker"); }
    void ReleaseInstanceLock() override { steps.push_back("release lock"); }
    void RemoveTrayIcon() override { steps.push_back("remove tray"); }
    void EndHost() override {
        steps.push_back(dialogBusy[kExitSlot] ? "end host, exit slot busy" : "end host");
    }

    std::string aboutText;
    std::string pageUrl;
};

class CommandTest : public ::testing::Test {
  protected:
    void TearDown() override {
        for (std::uint8_t slot : {kSettingsSlot, kAboutSlot, kExitSlot}) {
            EXPECT_EQ(dialogBusy[slot], 0) << "slot " << int{slot} << " left busy";
        }
    }
    LampSettingsRecord settings{&capsLockLed, &scrollLockLed};
    RecordingHosts host;
};

TEST_F(CommandTest, AcceptedSettingsAreStoredThenSavedThenTheSerialLampReapplied) {
    host.settingsDialog = [this](SettingsForm& form) {
        form.m_sendLedIndex = 2;
        // Stored only after the dialog has closed.
        EXPECT_EQ(settings.sendLed, &scrollLockLed);
        return true;
    };
    RunSettingsCommand(settings, host);
    EXPECT_EQ(host.steps, (Steps{"settings dialog", "save", "apply serial"}));
    EXPECT_EQ(settings.sendLed, &numLockLed);
}

TEST_F(CommandTest, UnchangedAcceptStillSavesAndReapplies) {
    RunSettingsCommand(settings, host);
    EXPECT_EQ(host.steps, (Steps{"settings dialog", "save", "apply serial"}));
}

TEST_F(CommandTest, CancelledSettingsChangeNothing) {
    settings.useReceiveLed = 0;
    host.settingsDialog = [](SettingsForm& form) {
        form = SettingsForm{1, 1, 2, 2, 5, 1, 1};
        return false;
    };
    RunSettingsCommand(settings, host);
    EXPECT_EQ(host.steps, (Steps{"settings dialog"}));
    EXPECT_EQ(settings.useReceiveLed, 0);
    EXPECT_EQ(settings.receiveLed, &capsLockLed);
    EXPECT_EQ(settings.serialPortNum, 1);
}

TEST_F(CommandTest, SecondSettingsWhileOpenDoesNothingButAboutStillOpens) {
    host.settingsDialog = [this](SettingsForm&) {
        RunSettingsCommand(settings, host);
        RunAboutCommand(host);
        return false;
    };
    RunSettingsCommand(settings, host);
    EXPECT_EQ(host.steps, (Steps{"settings dialog", "about dialog"}));
}

TEST_F(CommandTest, SecondAboutWhileOpenDoesNothing) {
    host.aboutDialog = [this] { RunAboutCommand(host); };
    RunAboutCommand(host);
    EXPECT_EQ(host.steps, (Steps{"about dialog"}));
    EXPECT_EQ(
        host.aboutText,
        "Velumin Version1.00\r\n(C) The Velumin developers\r\n\r\nhttp://velumin.example/hw/\r\n");
    EXPECT_EQ(host.pageUrl, "http://velumin.example/hw/software/velumin/index.html");
}

TEST_F(CommandTest, ExitAnsweredNoKeepsRunningAndCanBeChosenAgain) {
    host.exitAnswer = [] { return false; };
    EXPECT_FALSE(RunExitCommand(host));
    EXPECT_FALSE(RunExitCommand(host));
    EXPECT_EQ(host.steps, (Steps{"ask 終了しますか？", "ask 終了しますか？"}));
}

TEST_F(CommandTest, ExitAnsweredYesStopsInOrder) {
    EXPECT_TRUE(RunExitCommand(host));
    EXPECT_EQ(host.steps, (Steps{"ask 終了しますか？", "stop worker", "release lock", "remove tray",
                                 "end host"}));
}

TEST_F(CommandTest, SecondExitWhileTheQuestionIsOpenDoesNothing) {
    host.exitAnswer = [this] {
        EXPECT_FALSE(RunExitCommand(host));
        return false;
    };
    EXPECT_FALSE(RunExitCommand(host));
    EXPECT_EQ(host.steps, (Steps{"ask 終了しますか？"}));
}

TEST_F(CommandTest, OrderlyStopAsksNothing) {
    RunOrderlyStop(host);
    EXPECT_EQ(host.steps, (Steps{"stop worker", "release lock", "remove tray", "end host"}));
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

// The real program on a virtual desktop with trayer as the tray, seen and
// worked from outside as a user would. The scenarios are written once and run
// through two drivers: the Linux build's velumin, and the Windows build's
// Velumin.exe under Wine.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <functional>
#include <memory>
#include <thread>
#include <utility>

#include "support/desktop_linux.h"

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;
using testsupport::ExitStatus;

// The ini file as Linux writes it; Windows ends its lines in CR LF.
std::string Text(const fs::path& path) {
    std::string text = testsupport::ReadFile(path);
    std::erase(text, '\r');
    return text;
}

// The file a first start saves, with the given keys set to 1.
std::string Defaults(std::initializer_list<std::string> keys = {}) {
    std::string text =
        "[Settings]\nUseKeybordLed=0\nUseReceiveLed=0\nUseSendLed=0\nReceiveLed=0\nSendLed=0\n"
        "SerialPortNum=1\nUseSerialLed=0\nLedInversion=0\n";
    for (const std::string& key : keys) {
        text[text.find("\n" + key + "=") + key.size() + 2] = '1';
    }
    return text;
}

enum Shown { kSettings, kAbout, kQuestion };
const char* const kTitles[] = {"設定", "このプログラムについて", "Velumin"};

// How the program starts and ends, where its file is, how a user works its
// dialogs: the same keys for both builds, which Wine's windows take only with
// a window manager, so that there its controls are clicked instead.
struct Driver {
    virtual ~Driver() = default;
    virtual pid_t Start(const testsupport::VirtualDesktop& on) = 0;
    virtual fs::path Ini() const = 0;
    virtual void Close(pid_t program) = 0;
    virtual void RestartTrayHost() = 0;
    virtual void Act(Shown window, const std::string& keys, std::vector<int> clicks) = 0;

    int Count(Shown window) {
        return int(
            testsupport::XDesktop(desktop->Display()).Windows(program, kTitles[window]).size());
    }
    // Settings opens with the focus on Cancel, then OK, the receive box, ...
    void TickReceiveAndOk() { Act(kSettings, "Tab Tab space Return", {1012, 1010}); }
    void TickReceive() { Act(kSettings, "Tab Tab space", {1012}); }
    void ChangeEverythingAndCancel() {
        Act(kSettings,
            "Tab Tab space Tab space Tab Down Tab Down Tab Down Tab space Tab space Escape",
            {1012, 1013, 1023, 1024, 2});
    }
    // About opens with the focus on OK; it stays on the web-page button after its question.
    void PressWebPage(bool first) { Act(kAbout, first ? "Tab space" : "space", {1007}); }
    void CloseAbout() { Act(kAbout, "Escape", {1}); }
    void Answer(bool yes) { Act(kQuestion, yes ? "Return" : "Tab space", {yes ? 6 : 7}); }

    // The other ways out than Close and Exit, each taken on a running program.
    std::vector<std::pair<std::string, std::function<void(pid_t)>>> waysOut;
    std::string program;    // the class of its windows
    bool onItsOwn = false;  // its lock keys are the X server's, its traffic its own
    testsupport::VirtualDesktop* desktop = nullptr;
    fs::path dir;
};

struct LinuxDriver final : Driver {
    LinuxDriver() {
        program = "velumin";
        onItsOwn = true;
        waysOut.emplace_back("SIGINT", [](pid_t pid) { kill(pid, SIGINT); });
        waysOut.emplace_back("SIGHUP", [](pid_t pid) { kill(pid, SIGHUP); });
    }
    pid_t Start(const testsupport::VirtualDesktop& on) override {
        fs::create_directories(dir / "runtime");
        fs::permissions(dir / "runtime", fs::perms::owner_all, fs::perm_options::replace);
        // A network namespace of its own, so that only the test's traffic flashes it.
        return testsupport::Spawn(
            {"unshare", "-n", "sh", "-c", "ip link set lo up && exec \"$0\" 2>>\"$1\"", VELUMIN_EXE,
             (dir / "stderr").string()},
            {on.DisplayEnv(), "XDG_CONFIG_HOME=" + (dir / "config").string(),
             "XDG_RUNTIME_DIR=" + (dir / "runtime").string(),
             "PATH=" + (dir / "bin").string() + ":" + std::getenv("PATH"), "QT_QPA_PLATFORM=xcb",
             "WAYLAND_DISPLAY=", "XDG_SESSION_TYPE=",
             // No desktop bus: the icon docks into trayer by XEmbed.
             "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent", "BROWSER=", "DEFAULT_BROWSER="});
    }
    fs::path Ini() const override { return dir / "config/velumin/Velumin.ini"; }
    void Close(pid_t pid) override { kill(pid, SIGTERM); }
    // Without a window manager the keys go where the X focus is: on the dialog.
    void Act(Shown window, const std::string& keys, std::vector<int>) override {
        for (const auto& found :
             testsupport::XDesktop(desktop->Display()).Windows(program, kTitles[window])) {
            desktop->Run("xdotool windowfocus --sync " + found.id + " key --delay 40 " + keys);
        }
    }
    void RestartTrayHost() override {
        desktop->StopTray();
        desktop->StartTray();
    }
};

struct WineDriver final : Driver {
    WineDriver() {
        program = "velumin.exe";
        waysOut.emplace_back("end of session", [this](pid_t) {
            // The probe ends the process once the message returns, as the system may.
            EXPECT_EQ(Shell("endsession"), 0);
        });
    }
    pid_t Start(const testsupport::VirtualDesktop& on) override {
        // The program writes its ini file beside itself: each test runs its own copy.
        fs::copy_file(kBuild + "/src/app/Velumin.exe", dir / "Velumin.exe",
                      fs::copy_options::skip_existing);
        // Wine hands web pages to xdg-open: the test's own records what it is given.
        return testsupport::Spawn({kWineRun, (dir / "Velumin.exe").string()},
                                  {on.DisplayEnv(), "WINEPREFIX=" + kBuild + "/wineprefix",
                                   "PATH=" + (dir / "bin").string() + ":" + std::getenv("PATH")});
    }
    fs::path Ini() const override { return dir / "Velumin.ini"; }
    void Close(pid_t) override { EXPECT_EQ(Shell("close"), 0); }
    void Act(Shown window, const std::string&, std::vector<int> clicks) override {
        static const char* const dialogs[] = {"1012", "1009", "65535"};
        for (const int control : clicks) {
            EXPECT_EQ(Shell("click", dialogs[window], std::to_string(control)), 0);
        }
    }
    // Under Wine the shell is the tray's client: it loses the icon and announces itself.
    void RestartTrayHost() override {
        EXPECT_EQ(Shell("lose-icon"), 0);
        EXPECT_TRUE(testsupport::WaitFor(
            [this] { return testsupport::XDesktop(desktop->Display()).LampPicture() == "none"; }));
        EXPECT_EQ(Shell("taskbar-created"), 0);
    }

    // The shell's part, played by the probe program; its exit status. No pipe:
    // a Wine process that inherits one may keep it open.
    int Shell(const std::string& command, const std::string& dialog = "",
              const std::string& control = "") {
        int status = -1;
        waitpid(testsupport::Spawn({kWineRun, kBuild + "/tests/velumin_window_probe.exe", command,
                                    dialog, control},
                                   {desktop->DisplayEnv(), "WINEPREFIX=" + kBuild + "/wineprefix"}),
                &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::string kBuild = VELUMIN_WINDOWS_BUILD_DIR;
    const std::string kWineRun = VELUMIN_SOURCE_DIR "/scripts/wine-run.sh";
};

class E2E : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { desktop = std::make_unique<testsupport::VirtualDesktop>(true); }
    static void TearDownTestSuite() {
        desktop.reset();
#ifdef VELUMIN_E2E_WINE
        // Wine's shell outlives its last program a while, tied to this display:
        // a program of the prefix started meanwhile would dock into its tray.
        std::system("WINEPREFIX=" VELUMIN_WINDOWS_BUILD_DIR
                    "/wineprefix timeout 30 wineserver -w </dev/null >/dev/null 2>&1");
#endif
    }

    void SetUp() override {
#ifdef VELUMIN_E2E_WINE
        if (!fs::exists(VELUMIN_WINDOWS_BUILD_DIR "/src/app/Velumin.exe")) {
            GTEST_SKIP() << "build the windows preset first";
        }
        driver = std::make_unique<WineDriver>();
#else
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root for a network namespace of the program's own";
        }
        driver = std::make_unique<LinuxDriver>();
#endif
        driver->desktop = desktop.get();
        driver->dir = dir.path();
        // The desktop's opener, replaced by one that records what it is given.
        fs::create_directories(dir / "bin");
        testsupport::WriteFile(dir / "bin/xdg-open",
                               "#!/bin/sh\necho \"$@\" >>'" + (dir / "opened").string() + "'\n");
        fs::permissions(dir / "bin/xdg-open", fs::perms::owner_all);
        screen.SetLed("Caps Lock", XK_Caps_Lock, true);
        screen.SetLed("Num Lock", XK_Num_Lock, false);
        // An earlier program's icon (Wine's shell outlives its programs a while) must be gone.
        ASSERT_TRUE(testsupport::WaitFor([this] { return screen.LampPicture() == "none"; }, 30s));
    }
    void TearDown() override {
        if (!desktop->TrayOwned()) {
            desktop->StartTray();
        }
        for (const pid_t pid : started) {
            if (Running(pid)) {
                driver->Close(pid);
                testsupport::ExitStatus(pid, false, 20s);
            }
        }
    }

    pid_t Start() {
        return started.emplace_back(driver->Start(*desktop));
    }
    static bool Running(pid_t pid) {
        return waitpid(pid, nullptr, WNOHANG) == 0;
    }
    ::testing::AssertionResult Eventually(const std::function<bool()>& condition,
                                          const std::string& what) {
        return testsupport::WaitFor(condition, 60s) ? ::testing::AssertionSuccess()
                                                    : ::testing::AssertionFailure() << what;
    }
    ::testing::AssertionResult Shows(Shown window, int count) {
        return Eventually([&] { return driver->Count(window) == count; },
                          kTitles[window] + std::string(" not shown ") + std::to_string(count));
    }
    ::testing::AssertionResult IconShows(const std::string& picture) {
        std::string seen;
        return Eventually([&] { return (seen = screen.LampPicture()) == picture; }, picture)
               << " expected, " << seen << " seen";
    }
    bool KeysAsAtStart() {
        return !driver->onItsOwn || (screen.Led("Caps Lock") && !screen.Led("Num Lock"));
    }
    int Menus() {
        return screen.Menus(driver->program);
    }
    // A menu command by its keys, chosen from the icon's menu; returns once the menu has closed.
    void Choose(const std::string& keys) {
        EXPECT_TRUE(screen.OpenTrayMenu(driver->program)) << "no menu";
        desktop->Run("xdotool key --delay 30 " + keys);
        EXPECT_TRUE(Eventually([&] { return Menus() == 0; }, "the menu stays open"));
    }

    static inline std::unique_ptr<testsupport::VirtualDesktop> desktop;
    testsupport::XDesktop screen{desktop->Display()};
    testsupport::TempDir dir;
    std::unique_ptr<Driver> driver;
    std::vector<pid_t> started;
};

TEST_F(E2E, FirstStartIdlesFlashesKeepsASecondInstanceOutAndSavesAtTheEnd) {
    const pid_t program = Start();
    ASSERT_TRUE(IconShows("Idle"));  // after the first poll's flash
    for (int sample = 0; driver->onItsOwn && sample < 25; ++sample) {
        ASSERT_EQ(screen.LampPicture(), "Idle") << "flashed without traffic";
    }
    {
        testsupport::LoopbackTraffic traffic(driver->onItsOwn ? program : 0);
        EXPECT_TRUE(Eventually([&] { return testsupport::Lit(screen.LampPicture()); }, "no flash"));
    }
    EXPECT_TRUE(IconShows("Idle"));
    EXPECT_TRUE(screen.Windows(driver->program).empty()) << "a window is shown";

    EXPECT_EQ(ExitStatus(Start()), 0) << "a second instance";
    EXPECT_TRUE(Running(program));
    EXPECT_FALSE(fs::exists(driver->Ini())) << "written before the end";
    EXPECT_TRUE(KeysAsAtStart());

    driver->RestartTrayHost();
    EXPECT_TRUE(IconShows("Idle")) << "the icon did not come back";
    driver->Close(program);
    EXPECT_EQ(ExitStatus(program), 0);
    EXPECT_EQ(screen.LampPicture(), "none");
    EXPECT_EQ(Text(driver->Ini()), Defaults());
}

// Each command of the menu, each window opened once at most; Settings' OK
// saves at once, Cancel does not, the keyboard switch only at the end; Exit
// asks first and ends an open Settings as cancelled.
TEST_F(E2E, MenuCommandsAndTheirWindows) {
    const pid_t program = Start();
    ASSERT_TRUE(IconShows("Idle"));
#ifndef VELUMIN_E2E_WINE
    // Only the right button opens the menu: one that a left click opened would
    // take the right click that follows, and close.
    const testsupport::Lamp icon = screen.TrayLamp();
    desktop->Run("xdotool mousemove " + std::to_string(icon.x) + " " + std::to_string(icon.y) +
                 " click 1 click 3");
    EXPECT_TRUE(Eventually([&] { return Menus() == 1; }, "no menu after a right click"));
    desktop->Run("xdotool key Escape");
#endif
    Choose("s");
    ASSERT_TRUE(Shows(kSettings, 1));
    driver->TickReceiveAndOk();
    // Windows writes the keys one by one: the save is whole once the last is there.
    ASSERT_TRUE(Eventually([&] { return Text(driver->Ini()) == Defaults({"UseReceiveLed"}); },
                           "not saved at once: " + testsupport::ReadFile(driver->Ini())));
    const auto modified = fs::last_write_time(driver->Ini());
    Choose("s");
    ASSERT_TRUE(Shows(kSettings, 1));
    driver->ChangeEverythingAndCancel();
    ASSERT_TRUE(Shows(kSettings, 0));
#ifdef VELUMIN_E2E_WINE
    // Enter and Escape on the hidden host: neither opens Settings nor ends it.
    EXPECT_EQ(dynamic_cast<WineDriver&>(*driver).Shell("keys-to-host"), 0);
#endif

    Choose("a");
    ASSERT_TRUE(Shows(kAbout, 1));
    EXPECT_EQ(driver->Count(kSettings), 0);
    for (const bool yes : {false, true}) {
        driver->PressWebPage(!yes);
        ASSERT_TRUE(Shows(kQuestion, 1));
        driver->Answer(yes);
        ASSERT_TRUE(Shows(kQuestion, 0));
    }
    // The opener ran once, for Yes only, with the page unchanged.
    const std::string page = "http://velumin.example/hw/software/velumin/index.html\n";
    EXPECT_TRUE(
        Eventually([&] { return testsupport::ReadFile(dir / "opened") == page; }, "not opened"))
        << testsupport::ReadFile(dir / "opened");
    driver->CloseAbout();
    ASSERT_TRUE(Shows(kAbout, 0));

    Choose("s");
    ASSERT_TRUE(Shows(kSettings, 1));
    driver->TickReceive();
    Choose("s");
    Choose("x");
    ASSERT_TRUE(Shows(kQuestion, 1));
    EXPECT_EQ(driver->Count(kSettings), 1);
    driver->Answer(false);
    ASSERT_TRUE(Shows(kQuestion, 0));
    EXPECT_TRUE(Running(program));
    Choose("Down Down Return");  // the keyboard item, below Settings and a separator
    EXPECT_EQ(fs::last_write_time(driver->Ini()), modified) << "Cancel or the switch wrote";
    Choose("x");
    ASSERT_TRUE(Shows(kQuestion, 1));
    driver->Answer(true);
    EXPECT_EQ(ExitStatus(program), 0);
    EXPECT_EQ(screen.LampPicture(), "none");
    EXPECT_EQ(Text(driver->Ini()), Defaults({"UseKeybordLed", "UseReceiveLed"}));
}

// With the keyboard lamps flashing, every way out gives the lock keys back
// (CapsLock was on and NumLock off) and saves what was loaded.
TEST_F(E2E, EveryWayOutGivesTheLockKeysBackAndSaves) {
    // The file lacks the last key, which the save at the end adds.
    const std::string lampsOn =
        "[Settings]\nUseKeybordLed=1\nUseReceiveLed=1\nUseSendLed=1\n"
        "ReceiveLed=0\nSendLed=2\nSerialPortNum=0\nUseSerialLed=0\n";
    driver->waysOut.emplace_back("Close", [this](pid_t pid) { driver->Close(pid); });
    driver->waysOut.emplace_back("Exit", [this](pid_t) {
        Choose("x");
        ASSERT_TRUE(Shows(kQuestion, 1));
        driver->Answer(true);
    });
    for (const auto& [way, takeIt] : driver->waysOut) {
        SCOPED_TRACE(way);
        fs::create_directories(driver->Ini().parent_path());
        testsupport::WriteFile(driver->Ini(), lampsOn);
        const pid_t program = Start();
        ASSERT_TRUE(Eventually([&] { return screen.LampPicture() != "none"; }, "no icon"));
        {
            testsupport::LoopbackTraffic traffic(driver->onItsOwn ? program : 0);
            ASSERT_TRUE(Eventually([&] { return !driver->onItsOwn || !KeysAsAtStart(); },
                                   "no key flashed"));
            takeIt(program);
            EXPECT_EQ(ExitStatus(program), 0);
        }
        EXPECT_TRUE(KeysAsAtStart());
        EXPECT_EQ(screen.LampPicture(), "none");
        EXPECT_EQ(Text(driver->Ini()), lampsOn + "LedInversion=0\n");
    }
}

#ifndef VELUMIN_E2E_WINE
TEST_F(E2E, InterfacesLeftOutNeverFlashAndTheirLineOutlivesTheSave) {
    const std::string ini = Defaults() + "Interfaces = !lo\n";
    fs::create_directories(driver->Ini().parent_path());
    testsupport::WriteFile(driver->Ini(), ini);
    const pid_t program = Start();
    ASSERT_TRUE(IconShows("Idle"));
    testsupport::LoopbackTraffic traffic(program);
    for (int sample = 0; sample < 50; ++sample) {
        ASSERT_EQ(screen.LampPicture(), "Idle") << "flashed for loopback";
    }
    driver->Close(program);
    EXPECT_EQ(ExitStatus(program), 0);
    EXPECT_EQ(Text(driver->Ini()), ini);
}

TEST_F(E2E, WithoutATrayItSaysSoAndItsIconComesWithTheTray) {
    desktop->StopTray();
    const pid_t program = Start();
    EXPECT_TRUE(Eventually(
        [&] {
            return testsupport::ReadFile(dir / "stderr") ==
                   "velumin: the desktop has no system tray; the icon appears when one starts.\n";
        },
        "not said"))
        << testsupport::ReadFile(dir / "stderr");
    desktop->StartTray();
    EXPECT_TRUE(IconShows("Idle"));
    driver->Close(program);
    EXPECT_EQ(ExitStatus(program), 0);
}

TEST_F(E2E, WhenTheDisplayGoesAwayItEndsAndKeepsTheSettings) {
    auto ending = std::make_unique<testsupport::VirtualDesktop>(true);
    const pid_t program = driver->Start(*ending);
    ASSERT_TRUE(
        Eventually([&] { return testsupport::XDesktop(ending->Display()).LampPicture() != "none"; },
                   "no icon"));
    // The session ends with its X server: no hang, and the settings kept.
    ending.reset();
    EXPECT_NE(ExitStatus(program), -1);
    EXPECT_EQ(Text(driver->Ini()), Defaults());
}
#endif

}  // namespace

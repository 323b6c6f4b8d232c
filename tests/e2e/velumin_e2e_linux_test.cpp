// The real velumin on a virtual desktop: tray icon, lamps, menu, dialogs and
// every way out, seen from outside as a user would see them.
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "desktop_probe_linux.h"
#include "support/tray_area_linux.h"
#include "support/virtual_desktop_linux.h"

namespace fs = std::filesystem;

namespace {

const char* const kProgram = "velumin";
const std::string kPage = "http://velumin.example/hw/software/velumin/index.html";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Sends UDP datagrams over the loopback of another process's network namespace
// until stopped, so that only that process sees the traffic.
class LoopbackTraffic {
  public:
    explicit LoopbackTraffic(pid_t target) {
        m_thread = std::thread([this, target] {
            const int ns =
                open(("/proc/" + std::to_string(target) + "/ns/net").c_str(), O_RDONLY | O_CLOEXEC);
            if (ns < 0 || setns(ns, CLONE_NEWNET) != 0) {
                m_failed = true;
                return;
            }
            close(ns);
            const int sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(9);
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            const char data[64] = {};
            while (!m_stop) {
                sendto(sock, data, sizeof data, 0, reinterpret_cast<const sockaddr*>(&to),
                       sizeof to);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            close(sock);
        });
    }
    ~LoopbackTraffic() { Stop(); }
    LoopbackTraffic(const LoopbackTraffic&) = delete;
    LoopbackTraffic& operator=(const LoopbackTraffic&) = delete;
    void Stop() {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    bool Failed() const { return m_failed; }

  private:
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_failed{false};
    std::thread m_thread;
};

class VeluminE2E : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        // Windows come and go while the test looks at them (an icon between
        // two docks, a closing menu): a failed request is no failure of the test.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        desktop = new testsupport::VirtualDesktop(true);
    }
    static void TearDownTestSuite() {
        delete desktop;
        desktop = nullptr;
    }

    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root for a network namespace of the program's own";
        }
        char pattern[] = "/tmp/velumin-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        fs::create_directories(m_dir / "config");
        fs::create_directories(m_dir / "runtime");
        fs::create_directories(m_dir / "bin");
        fs::permissions(m_dir / "runtime", fs::perms::owner_all, fs::perm_options::replace);
        // The desktop's opener, replaced by one that records what it is given.
        const fs::path opener = m_dir / "bin" / "xdg-open";
        std::ofstream(opener) << "#!/bin/sh\necho \"$@\" >> '" << (m_dir / "opened").string()
                              << "'\n";
        fs::permissions(opener, fs::perms::owner_all);
        probe = std::make_unique<e2e::DesktopProbe>(desktop->Display());
        ASSERT_TRUE(probe->Connected());
        tray = std::make_unique<testsupport::TrayArea>(desktop->Display());
        probe->SetLocks(true, false);
        ASSERT_TRUE(testsupport::WaitFor([this] { return probe->TrayIcons(kProgram).empty(); }))
            << "an icon of an earlier program is still in the tray";
    }

    void TearDown() override {
        for (pid_t pid : m_started) {
            if (pid > 0 && kill(pid, 0) == 0) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        }
        tray.reset();
        probe.reset();
        if (!m_dir.empty()) {
            fs::remove_all(m_dir);
        }
    }

    fs::path Ini() const { return m_dir / "config" / "velumin" / "Velumin.ini"; }

    void WriteIni(const std::string& text) {
        fs::create_directories(Ini().parent_path());
        std::ofstream(Ini()) << text;
    }

    // Starts the program in a network namespace of its own on the test's desktop.
    pid_t Start(const std::string& display = "") {
        const char* inherited = std::getenv("PATH");
        const std::string path = inherited != nullptr ? inherited : "/usr/bin";
        const pid_t pid = testsupport::Spawn(
            {"unshare", "-n", "sh", "-c", "ip link set lo up && exec \"$0\" 2>>\"$1\"", VELUMIN_EXE,
             (m_dir / "stderr").string()},
            {"DISPLAY=" + (display.empty() ? desktop->Display() : display),
             "XDG_CONFIG_HOME=" + (m_dir / "config").string(),
             "XDG_RUNTIME_DIR=" + (m_dir / "runtime").string(),
             "PATH=" + (m_dir / "bin").string() + ":" + path, "QT_QPA_PLATFORM=xcb",
             "WAYLAND_DISPLAY=", "XDG_SESSION_TYPE=",
             // No desktop bus: the icon docks into trayer by XEmbed.
             "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent", "BROWSER=", "DEFAULT_BROWSER="});
        m_started.push_back(pid);
        return pid;
    }

    // Waits for the process to end; its exit status, or -1 when it did not end.
    static int WaitExit(pid_t pid) {
        int status = -1;
        const bool ended =
            testsupport::WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; });
        if (!ended) {
            return -1;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    bool Running(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == 0; }

    // "Idle", "Receive", "Send", "Both", or why none of them is seen.
    std::string IconShows() { return tray->ShownLampPicture(); }

    bool WaitForIcon(const std::string& picture) {
        return testsupport::WaitFor([&] { return IconShows() == picture; });
    }

    void Key(const std::string& keys) {
        ASSERT_EQ(desktop->Run("xdotool key --delay 30 " + keys), 0);
    }

    // Right click on the icon; returns once the menu is shown.
    e2e::ShownWindow OpenMenu(int dx = 12) {
        const std::vector<e2e::ShownWindow> icons = probe->TrayIcons(kProgram);
        EXPECT_EQ(icons.size(), 1U);
        if (icons.empty()) {
            return {};
        }
        m_pointerX = icons[0].x + dx;
        m_pointerY = icons[0].y + icons[0].height / 2;
        desktop->Run("xdotool mousemove " + std::to_string(m_pointerX) + " " +
                     std::to_string(m_pointerY) + " click 3");
        EXPECT_TRUE(testsupport::WaitFor([&] { return probe->Popups(kProgram).size() == 1; }));
        const std::vector<e2e::ShownWindow> popups = probe->Popups(kProgram);
        return popups.empty() ? e2e::ShownWindow{} : popups[0];
    }

    // Chooses a menu command by its access key and waits for the menu to close.
    void Choose(const std::string& key) {
        OpenMenu();
        Key(key);
        ASSERT_TRUE(testsupport::WaitFor([&] { return probe->Popups(kProgram).empty(); }));
    }

    bool WaitForWindow(const std::string& title, std::size_t count = 1) {
        return testsupport::WaitFor([&] { return probe->Titled(kProgram, title).size() == count; });
    }

    static testsupport::VirtualDesktop* desktop;
    std::unique_ptr<e2e::DesktopProbe> probe;
    std::unique_ptr<testsupport::TrayArea> tray;
    fs::path m_dir;
    std::vector<pid_t> m_started;
    int m_pointerX = 0;
    int m_pointerY = 0;
};

testsupport::VirtualDesktop* VeluminE2E::desktop = nullptr;

const char* const kKeyboardLampsOn =
    "[Settings]\nUseKeybordLed=1\nUseReceiveLed=1\nUseSendLed=1\nReceiveLed=0\nSendLed=2\n"
    "SerialPortNum=0\nUseSerialLed=0\nLedInversion=0\n";

TEST_F(VeluminE2E, FirstStartShowsOneIdleIconTouchesNoKeyAndSavesAtTheEnd) {
    const pid_t pid = Start();
    ASSERT_TRUE(testsupport::WaitFor([&] { return probe->TrayIcons(kProgram).size() == 1; }));
    // The first poll counts as traffic; after its flash the icon rests on Idle.
    EXPECT_TRUE(WaitForIcon("Idle"));
    EXPECT_TRUE(probe->CapsLock());
    EXPECT_FALSE(probe->NumLock());
    EXPECT_FALSE(fs::exists(Ini())) << "nothing is written before the end";
    EXPECT_TRUE(probe->Titled(kProgram, "Velumin").empty()) << "no window is shown";

    kill(pid, SIGTERM);
    EXPECT_EQ(WaitExit(pid), 0);
    EXPECT_TRUE(probe->TrayIcons(kProgram).empty());
    EXPECT_TRUE(probe->CapsLock());
    EXPECT_FALSE(probe->NumLock());
    EXPECT_EQ(ReadFile(Ini()),
              "[Settings]\nUseKeybordLed=0\nUseReceiveLed=0\nUseSendLed=0\nReceiveLed=0\n"
              "SendLed=0\nSerialPortNum=1\nUseSerialLed=0\nLedInversion=0\n");
}

TEST_F(VeluminE2E, LoopbackTrafficFlashesTheIconAndQuietKeepsItIdle) {
    const pid_t pid = Start();
    ASSERT_TRUE(WaitForIcon("Idle"));
    // Without traffic the icon stays Idle over several polls.
    for (int sample = 0; sample < 50; ++sample) {
        ASSERT_EQ(IconShows(), "Idle") << "sample " << sample;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    {
        LoopbackTraffic traffic(pid);
        EXPECT_TRUE(testsupport::WaitFor([&] {
            const std::string seen = IconShows();
            return seen == "Receive" || seen == "Send" || seen == "Both";
        }));
        EXPECT_FALSE(traffic.Failed());
    }
    EXPECT_TRUE(WaitForIcon("Idle"));
    kill(pid, SIGTERM);
    EXPECT_EQ(WaitExit(pid), 0);
}

TEST_F(VeluminE2E, LoopbackLeftOutKeepsTheIconIdleAndItsLineOutlivesTheSave) {
    const std::string ini = std::string(kKeyboardLampsOn) + "Interfaces = !lo\n";
    WriteIni(ini);
    const pid_t pid = Start();
    ASSERT_TRUE(WaitForIcon("Idle"));
    LoopbackTraffic traffic(pid);
    // Five polls or so with loopback busy: not one flash.
    for (int sample = 0; sample < 50; ++sample) {
        ASSERT_EQ(IconShows(), "Idle") << "sample " << sample;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_FALSE(traffic.Failed());
    kill(pid, SIGTERM);
    EXPECT_EQ(WaitExit(pid), 0);
    EXPECT_EQ(ReadFile(Ini()), ini);
}

TEST_F(VeluminE2E, SecondInstanceEndsAtOnceAndLeavesTheFirstAlone) {
    WriteIni(kKeyboardLampsOn);
    const pid_t first = Start();
    ASSERT_TRUE(WaitForIcon("Idle"));
    const std::string before = ReadFile(Ini());
    const auto modified = fs::last_write_time(Ini());

    const pid_t second = Start();
    EXPECT_EQ(WaitExit(second), 0);
    EXPECT_TRUE(Running(first));
    EXPECT_EQ(probe->TrayIcons(kProgram).size(), 1U);
    EXPECT_EQ(ReadFile(Ini()), before);
    EXPECT_EQ(fs::last_write_time(Ini()), modified);
    EXPECT_TRUE(probe->CapsLock());
    EXPECT_FALSE(probe->NumLock());
    kill(first, SIGTERM);
    EXPECT_EQ(WaitExit(first), 0);
}

TEST_F(VeluminE2E, WithoutATrayItSaysSoOnceAndDocksWhenOneArrives) {
    testsupport::VirtualDesktop bare(false);
    e2e::DesktopProbe bareProbe(bare.Display());
    const pid_t pid = Start(bare.Display());
    const std::string message = "no system tray";
    ASSERT_TRUE(testsupport::WaitFor(
        [&] { return ReadFile(m_dir / "stderr").find(message) != std::string::npos; }));
    EXPECT_TRUE(Running(pid));
    bare.StartTray();
    EXPECT_TRUE(testsupport::WaitFor([&] { return bareProbe.TrayIcons(kProgram).size() == 1; }));
    const std::string errors = ReadFile(m_dir / "stderr");
    EXPECT_EQ(errors.find(message), errors.rfind(message)) << errors;
    kill(pid, SIGTERM);
    EXPECT_EQ(WaitExit(pid), 0);
}

TEST_F(VeluminE2E, WhenTheDisplayGoesAwayItEndsAndKeepsTheSettings) {
    auto ending = std::make_unique<testsupport::VirtualDesktop>(true);
    const pid_t pid = Start(ending->Display());
    {
        testsupport::TrayArea endingTray(ending->Display());
        ASSERT_TRUE(testsupport::WaitFor([&] { return endingTray.DockedIcons().size() == 1; }));
    }
    // The session ends with its X server; the program must neither hang nor
    // lose the settings on the way out.
    ending.reset();
    EXPECT_NE(WaitExit(pid), -1);
    EXPECT_EQ(ReadFile(Ini()),
              "[Settings]\nUseKeybordLed=0\nUseReceiveLed=0\nUseSendLed=0\nReceiveLed=0\n"
              "SendLed=0\nSerialPortNum=1\nUseSerialLed=0\nLedInversion=0\n");
}

// Each way out, with the keyboard lamps on and traffic flowing, gives the lock
// keys back: CapsLock was on and NumLock off at the start.
enum class WayOut { Term, Interrupt, HangUp, ExitYes, AfterSecondInstance };

class WayOutTest : public VeluminE2E, public testing::WithParamInterface<WayOut> {};

TEST_P(WayOutTest, GivesTheLockKeysBackAndSaves) {
    WriteIni(kKeyboardLampsOn);
    const pid_t pid = Start();
    ASSERT_TRUE(testsupport::WaitFor([&] { return probe->TrayIcons(kProgram).size() == 1; }));
    LoopbackTraffic traffic(pid);
    // The lamps are flashing: CapsLock went dark or NumLock lit at least once.
    ASSERT_TRUE(testsupport::WaitFor([&] { return !probe->CapsLock() || probe->NumLock(); }));

    switch (GetParam()) {
        case WayOut::Term:
            kill(pid, SIGTERM);
            break;
        case WayOut::Interrupt:
            kill(pid, SIGINT);
            break;
        case WayOut::HangUp:
            kill(pid, SIGHUP);
            break;
        case WayOut::ExitYes:
            Choose("x");
            ASSERT_TRUE(WaitForWindow("Velumin"));
            Key("Return");
            break;
        case WayOut::AfterSecondInstance: {
            const pid_t second = Start();
            ASSERT_EQ(WaitExit(second), 0);
            kill(pid, SIGTERM);
            break;
        }
    }
    EXPECT_EQ(WaitExit(pid), 0);
    EXPECT_FALSE(traffic.Failed());
    traffic.Stop();
    EXPECT_TRUE(probe->CapsLock());
    EXPECT_FALSE(probe->NumLock());
    EXPECT_TRUE(probe->TrayIcons(kProgram).empty());
    EXPECT_EQ(ReadFile(Ini()), kKeyboardLampsOn);
}

std::string WayOutName(const testing::TestParamInfo<WayOut>& way) {
    const char* const names[] = {"Sigterm", "Sigint", "Sighup", "ExitYes",
                                 "SigtermAfterSecondInstance"};
    return names[static_cast<int>(way.param)];
}

INSTANTIATE_TEST_SUITE_P(EveryWay, WayOutTest,
                         testing::Values(WayOut::Term, WayOut::Interrupt, WayOut::HangUp,
                                         WayOut::ExitYes, WayOut::AfterSecondInstance),
                         WayOutName);

TEST_F(VeluminE2E, RightClickOpensTheMenuAtThePointerAndLeftClickNothing) {
    const pid_t pid = Start();
    ASSERT_TRUE(WaitForIcon("Idle"));
    const std::vector<e2e::ShownWindow> icons = probe->TrayIcons(kProgram);
    ASSERT_EQ(icons.size(), 1U);
    // A left click and a double click first, at another point of the icon.
    desktop->Run("xdotool mousemove " + std::to_string(icons[0].x + 3) + " " +
                 std::to_string(icons[0].y + 3) + " click 1 click --repeat 2 1 click 2");
    const e2e::ShownWindow menu = OpenMenu(14);
    const std::vector<e2e::ShownWindow> popups = probe->Popups(kProgram);
    ASSERT_EQ(popups.size(), 1U) << "only the right click opened a menu";
    EXPECT_EQ(menu.x, m_pointerX);
    EXPECT_EQ(menu.y, m_pointerY);
    // Four items and two separators make a menu taller than it is wide apart.
    EXPECT_GT(menu.height, 4 * 16);
    Key("Escape");
    EXPECT_TRUE(testsupport::WaitFor([&] { return probe->Popups(kProgram).empty(); }));
    EXPECT_TRUE(Running(pid));
    kill(pid, SIGTERM);
    EXPECT_EQ(WaitExit(pid), 0);
}

TEST_F(VeluminE2E, KeyboardItemFlipsItsCheckAndIsSavedAtExit) {
    const pid_t pid = Start();
    ASSERT_TRUE(WaitForIcon("Idle"));
    const std::vector<std::uint32_t> unchecked = probe->Pixels(OpenMenu());
    Key("Escape");
    ASSERT_TRUE(testsupport::WaitFor([&] { return probe->Popups(kProgram).empty(); }));
    EXPECT_EQ(probe->Pixels(OpenMenu()), unchecked) << "the same menu twice looks the same";
    // Down to the keyboard item (the separator is skipped) and choose it.
    Key("Down Down Return");
    ASSERT_TRUE(testsupport::WaitFor([&] { return probe->Popups(kProgram).empty(); }));
    const std::vector<std::uint32_t> checked = probe->Pixels(OpenMenu());
    EXPECT_NE(checked, unchecked);
    Key("Escape");
    ASSERT_TRUE(testsupport::WaitFor([&] { return probe->Popups(kProgram).empty(); }));
    EXPECT_FALSE(fs::exists(Ini())) << "the switch is not saved at once";

    Choose("x");
    ASSERT_TRUE(WaitForWindow("Velumin"));
    Key("Return");
    EXPECT_EQ(WaitExit(pid), 0);
    EXPECT_NE(ReadFile(Ini()).find("UseKeybordLed=1\n"), std::string::npos);
}

TEST_F(VeluminE2E, ExitAnsweredNoKeepsRunningAndASecondExitWaits) {
    const pid_t pid = Start();
    ASSERT_TRUE(WaitForIcon("Idle"));
    Choose("x");
    ASSERT_TRUE(WaitForWindow("Velumin"));
    Key("Escape");
    ASSERT_TRUE(WaitForWindow("Velumin", 0));
    EXPECT_TRUE(Running(pid));
    EXPECT_EQ(probe->TrayIcons(kProgram).size(), 1U);

    // Exit again: the question is back; a further Exit while it is open adds
    // none (About, chosen after it, shows that the command has run).
    Choose("x");
    ASSERT_TRUE(WaitForWindow("Velumin"));
    Choose("x");
    Choose("a");
    ASSERT_TRUE(WaitForWindow("このプログラムについて"));
    EXPECT_EQ(probe->Titled(kProgram, "Velumin").size(), 1U);
    EXPECT_FALSE(fs::exists(Ini()));
    kill(pid, SIGTERM);
    EXPECT_EQ(WaitExit(pid), 0);
}

TEST_F(VeluminE2E, SettingsOkSavesAtOnceAndCancelLeavesTheFileAlone) {
    const pid_t pid = Start();
    ASSERT_TRUE(WaitForIcon("Idle"));
    Choose("s");
    ASSERT_TRUE(WaitForWindow("設定"));
    // Focus starts on Cancel: on to the receive box, tick it, Enter is OK.
    Key("Tab Tab space Return");
    ASSERT_TRUE(WaitForWindow("設定", 0));
    ASSERT_TRUE(testsupport::WaitFor([&] { return fs::exists(Ini()); }));
    const std::string saved = ReadFile(Ini());
    EXPECT_NE(saved.find("UseReceiveLed=1\n"), std::string::npos) << saved;
    const auto modified = fs::last_write_time(Ini());

    Choose("s");
    ASSERT_TRUE(WaitForWindow("設定"));
    Key("Tab Tab space Tab space Tab Down Tab Down Tab Down Tab space Tab space Escape");
    ASSERT_TRUE(WaitForWindow("設定", 0));
    EXPECT_EQ(ReadFile(Ini()), saved);
    EXPECT_EQ(fs::last_write_time(Ini()), modified);
    kill(pid, SIGTERM);
    EXPECT_EQ(WaitExit(pid), 0);
}

TEST_F(VeluminE2E, SecondSettingsDoesNothingWhileAboutStillOpens) {
    const pid_t pid = Start();
    ASSERT_TRUE(WaitForIcon("Idle"));
    Choose("s");
    ASSERT_TRUE(WaitForWindow("設定"));
    Choose("s");
    Choose("a");
    ASSERT_TRUE(WaitForWindow("このプログラムについて"));
    EXPECT_EQ(probe->Titled(kProgram, "設定").size(), 1U);
    kill(pid, SIGTERM);
    EXPECT_EQ(WaitExit(pid), 0);
}

TEST_F(VeluminE2E, AboutButtonOpensThePageOnlyWhenAnsweredYes) {
    const pid_t pid = Start();
    ASSERT_TRUE(WaitForIcon("Idle"));
    Choose("a");
    ASSERT_TRUE(WaitForWindow("このプログラムについて"));
    // Focus starts on OK; the web-page button is next.
    Key("Tab space");
    ASSERT_TRUE(WaitForWindow("Velumin"));
    Key("Escape");
    ASSERT_TRUE(WaitForWindow("Velumin", 0));
    ASSERT_TRUE(WaitForWindow("このプログラムについて")) << "the About dialog has the focus again";
    Key("space");
    ASSERT_TRUE(WaitForWindow("Velumin"));
    Key("Return");
    ASSERT_TRUE(testsupport::WaitFor([&] { return fs::exists(m_dir / "opened"); }));
    // The opener ran once, for Yes only; No before it opened nothing.
    EXPECT_TRUE(testsupport::WaitFor([&] { return ReadFile(m_dir / "opened") == kPage + "\n"; }))
        << ReadFile(m_dir / "opened");
    EXPECT_EQ(probe->Titled(kProgram, "このプログラムについて").size(), 1U);
    kill(pid, SIGTERM);
    EXPECT_EQ(WaitExit(pid), 0);
}

}  // namespace

// The real velumin on a StatusNotifierItem host of the test's own (a private
// session bus), on Xvfb and on a headless Wayland compositor: the icon and
// its pictures, the menu over D-Bus, the lock keys, the Exit question.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

// Qt before Xlib, whose macros would break Qt's headers.
#include "sni_host_linux.h"

#include <QLibraryInfo>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "desktop_probe_linux.h"
#include "support/virtual_desktop_linux.h"

namespace fs = std::filesystem;

namespace {

using testsupport::Spawn;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int CountOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

const char* const kKeyboardLampsOn =
    "[Settings]\nUseKeybordLed=1\nUseReceiveLed=1\nUseSendLed=1\nReceiveLed=0\nSendLed=2\n"
    "SerialPortNum=0\nUseSerialLed=0\nLedInversion=0\n";

enum class Session { X11, Wayland };

// One session per test: a bus, an X server (under Wayland it stands for
// XWayland, whose lock keys must stay alone), and under Wayland weston.
class SniTest : public testing::TestWithParam<Session> {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "velumin_sni_tests";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }

    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root for a network namespace of the program's own";
        }
        char pattern[] = "/tmp/velumin-sni-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        chmod(pattern, 0700);  // the runtime directory, as Qt and weston want it
        // A socket path rather than dbus-daemon's default abstract one, which
        // the program's network namespace would hide.
        const std::string address = "unix:path=" + (m_dir / "bus").string();
        Started(Spawn({"dbus-daemon", "--session", "--nofork", "--address=" + address}));
        m_desktop = std::make_unique<testsupport::VirtualDesktop>();
        if (GetParam() == Session::Wayland) {
            Started(Spawn({"weston", "--backend=headless-backend.so", "--socket=wl-sni",
                           "--idle-time=0", "--no-config", "--debug"},
                          {"XDG_RUNTIME_DIR=" + m_dir.string()}));
            ASSERT_TRUE(testsupport::WaitFor([&] { return fs::exists(m_dir / "wl-sni"); }));
            // The protocol log shows the windows' titles, seen from outside.
            Started(Spawn({"weston-debug", "-o", (m_dir / "proto").string(), "proto"},
                          {"XDG_RUNTIME_DIR=" + m_dir.string(), "WAYLAND_DISPLAY=wl-sni"}));
        }
        ASSERT_TRUE(testsupport::WaitFor([&] { return fs::exists(m_dir / "bus"); }));
        m_host = std::make_unique<sni::Host>(QString::fromStdString(address));
        ASSERT_TRUE(m_host->Ready());
        m_probe = std::make_unique<e2e::DesktopProbe>(m_desktop->Display());
        m_probe->SetLocks(true, false);
    }

    void TearDown() override {
        for (auto pid = m_started.rbegin(); pid != m_started.rend(); ++pid) {
            kill(*pid, SIGKILL);
            waitpid(*pid, nullptr, 0);
        }
        m_host.reset();
        m_probe.reset();
        m_desktop.reset();
        if (!m_dir.empty()) {
            fs::remove_all(m_dir);
        }
    }

    pid_t Started(pid_t pid) {
        m_started.push_back(pid);
        return pid;
    }

    fs::path Ini() const { return m_dir / "config" / "velumin" / "Velumin.ini"; }

    // Starts velumin in a network namespace of its own, with env added to the
    // session's; hidePlugin hides Qt's Wayland plugins from it.
    void Launch(const std::string& ini, std::vector<std::string> env = {},
                bool hidePlugin = false) {
        if (!ini.empty()) {
            fs::create_directories(Ini().parent_path());
            std::ofstream(Ini()) << ini;
        }
        const bool wayland = GetParam() == Session::Wayland;
        env.insert(env.begin(),
                   {"DBUS_SESSION_BUS_ADDRESS=unix:path=" + (m_dir / "bus").string(),
                    m_desktop->DisplayEnv(), "XDG_RUNTIME_DIR=" + m_dir.string(),
                    "XDG_CONFIG_HOME=" + (m_dir / "config").string(), "XDG_SESSION_TYPE=",
                    wayland ? "QT_QPA_PLATFORM=wayland" : "QT_QPA_PLATFORM=xcb",
                    wayland ? "WAYLAND_DISPLAY=wl-sni" : "WAYLAND_DISPLAY="});
        // A folder with the X11 plugin alone, mounted over Qt's platform plugins.
        const fs::path plugins =
            QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString() + "/platforms";
        fs::create_directories(m_dir / "platforms");
        fs::copy_file(plugins / "libqxcb.so", m_dir / "platforms" / "libqxcb.so",
                      fs::copy_options::skip_existing);
        const std::string hide = hidePlugin ? "mount --bind \"$2\" \"$3\" && " : "";
        m_pid = Started(
            Spawn({"unshare", "-n", "-m", "sh", "-c",
                   hide + "ip link set lo up && exec \"$0\" 2>>\"$1\"", VELUMIN_EXE,
                   (m_dir / "stderr").string(), (m_dir / "platforms").string(), plugins.string()},
                  env));
    }

    // Launches velumin and returns once its item has registered.
    void Start(const std::string& ini = "") {
        Launch(ini);
        ASSERT_TRUE(m_host->WaitForItem()) << ReadFile(m_dir / "stderr");
    }

    // Loopback traffic inside the program's namespace until the object goes.
    std::shared_ptr<void> Traffic() {
        const pid_t sender =
            Started(Spawn({"nsenter", "--net=/proc/" + std::to_string(m_pid) + "/ns/net", "bash",
                           "-c", "while :; do echo > /dev/udp/127.0.0.1/9; sleep 0.02; done"}));
        return {nullptr, [sender](void*) { kill(sender, SIGKILL); }};
    }

    int WaitExit() {
        int status = -1;
        if (!testsupport::WaitFor([&] { return waitpid(m_pid, &status, WNOHANG) == m_pid; })) {
            return -1;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    int Terminate() {
        kill(m_pid, SIGTERM);
        return WaitExit();
    }

    bool WindowShown(const std::string& title) {
        if (GetParam() == Session::Wayland) {
            return ReadFile(m_dir / "proto").find("set_title(\"" + title + "\")") !=
                   std::string::npos;
        }
        return m_probe->Titled("velumin", title).size() == 1;
    }

    fs::path m_dir;
    std::vector<pid_t> m_started;
    pid_t m_pid = -1;
    std::unique_ptr<testsupport::VirtualDesktop> m_desktop;
    std::unique_ptr<e2e::DesktopProbe> m_probe;
    std::unique_ptr<sni::Host> m_host;
};

TEST_P(SniTest, IconShowsIdleThenFlashesAtTwoUpdatesAFlash) {
    Start(kKeyboardLampsOn);
    EXPECT_NE(m_host->MenuPath(), "/NO_DBUSMENU");
    // The first poll counts as traffic; after its flash the icon rests on Idle.
    ASSERT_TRUE(sni::Pump([&] { return m_host->IconShows() == "Idle"; })) << m_host->IconShows();
    // Quiet: idle cycles hand the host nothing.
    const int settled = m_host->NewIcons();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(m_host->NewIcons(), settled);

    const auto start = std::chrono::steady_clock::now();
    bool keysFlipped = false;
    {
        bool flashSeen = false;
        const auto traffic = Traffic();
        // Both directions move on the loopback, but any lit picture will do.
        EXPECT_TRUE(sni::Pump([&] {
            const std::string shown = m_host->IconShows();
            flashSeen = flashSeen || shown == "Receive" || shown == "Send" || shown == "Both";
            keysFlipped = keysFlipped || !m_probe->CapsLock() || m_probe->NumLock();
            return flashSeen && m_host->NewIcons() - settled >= 20;
        }));
    }
    ASSERT_TRUE(sni::Pump([&] { return m_host->IconShows() == "Idle"; }));
    // A flash takes at least 200 ms and changes the picture twice; the icon
    // is set only when its picture changes, and each setting is one update.
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    EXPECT_LE(m_host->NewIcons() - settled, 2 * (elapsed.count() / 200 + 1));
    const std::string errors = ReadFile(m_dir / "stderr");
    if (GetParam() == Session::Wayland) {
        EXPECT_FALSE(keysFlipped) << "XWayland's lock keys were driven";
        EXPECT_EQ(CountOf(errors, "velumin: a Wayland session"), 1) << errors;
    } else {
        EXPECT_TRUE(keysFlipped) << "the keyboard lamps did not flash";
        EXPECT_EQ(errors.find("Wayland"), std::string::npos) << errors;
    }
    EXPECT_EQ(Terminate(), 0);
    EXPECT_TRUE(m_probe->CapsLock());
    EXPECT_FALSE(m_probe->NumLock());
}

TEST_P(SniTest, MenuHasTheFourCommandsAndAClickFlipsTheKeyboardSwitch) {
    Start();
    const std::vector<sni::MenuItem> items = m_host->MenuLayout();
    ASSERT_EQ(items.size(), 6U);
    const char* const labels[] = {
        "設定(_S)", nullptr, "キーボードLED使用", nullptr, "このプログラムについて(_A)",
        "終了(_X)"};
    for (std::size_t i = 0; i < items.size(); ++i) {
        const QVariantMap& item = items[i].properties;
        if (labels[i] == nullptr) {
            EXPECT_EQ(item.value("type").toString(), "separator") << i;
        } else {
            EXPECT_EQ(item.value("label").toString().toStdString(), labels[i]);
            EXPECT_TRUE(item.value("enabled", true).toBool()) << labels[i];
        }
    }
    EXPECT_EQ(items[2].properties.value("toggle-type").toString(), "checkmark");
    EXPECT_EQ(items[2].properties.value("toggle-state").toInt(), 0);

    // The host opens nothing first (no AboutToShow): the check must be current anyway.
    m_host->Click(items[2].id);
    EXPECT_TRUE(sni::Pump(
        [&] { return m_host->MenuLayout()[2].properties.value("toggle-state").toInt() == 1; }));
    EXPECT_FALSE(fs::exists(Ini())) << "the switch is saved at the end";
    EXPECT_EQ(Terminate(), 0);
    EXPECT_NE(ReadFile(Ini()).find("UseKeybordLed=1\n"), std::string::npos) << ReadFile(Ini());
}

TEST_P(SniTest, SettingsAndTheExitQuestionOpenFromTheMenu) {
    Start();
    const std::vector<sni::MenuItem> items = m_host->MenuLayout();
    m_host->Click(items.front().id);
    EXPECT_TRUE(testsupport::WaitFor([&] { return WindowShown("設定"); }));
    m_host->Click(items.back().id);
    EXPECT_TRUE(testsupport::WaitFor([&] { return WindowShown("Velumin"); }));
    EXPECT_EQ(Terminate(), 0);
}

// A Wayland session on a machine without qt6-wayland: Qt alone would abort.
using WithoutWaylandPluginTest = SniTest;

TEST_P(WithoutWaylandPluginTest, FallsBackToX11OrSaysWhatToInstall) {
    Launch("", {"DISPLAY=", "QT_QPA_PLATFORM="}, true);
    EXPECT_EQ(WaitExit(), 1);
    const std::string errors = ReadFile(m_dir / "stderr");
    EXPECT_EQ(CountOf(errors, "velumin: "), 1) << errors;
    EXPECT_EQ(CountOf(errors, "install the package qt6-wayland"), 1) << errors;

    Launch("", {"QT_QPA_PLATFORM=wayland"}, true);
    ASSERT_TRUE(m_host->WaitForItem()) << ReadFile(m_dir / "stderr");
    EXPECT_EQ(Terminate(), 0);
}

INSTANTIATE_TEST_SUITE_P(Session, WithoutWaylandPluginTest, testing::Values(Session::Wayland),
                         [](const testing::TestParamInfo<Session>&) { return "Wayland"; });

INSTANTIATE_TEST_SUITE_P(Sessions, SniTest, testing::Values(Session::X11, Session::Wayland),
                         [](const testing::TestParamInfo<Session>& session) {
                             return session.param == Session::X11 ? "X11" : "Wayland";
                         });

}  // namespace

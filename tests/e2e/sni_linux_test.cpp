// The real velumin in a Wayland session (a headless weston) with a
// StatusNotifierItem host of the test's own on a private session bus: the icon
// and its pictures, the menu over D-Bus, the dialogs. The X11 side of the tray
// is the end-to-end runs' with trayer, the lock keys of a Wayland session the
// guest's (tests/lamps/lock_keys_uinput_linux_test.cpp).
#include <gtest/gtest.h>

// Qt before Xlib, whose macros would break Qt's headers.
#include "e2e/sni_host_linux.h"

#include <QLibraryInfo>

#include <memory>

#include "support/desktop_linux.h"

namespace fs = std::filesystem;

namespace {

using testsupport::CountOf;
using testsupport::Spawn;
using testsupport::WaitFor;

// One session per test: a bus, weston, and an X server for Qt's X11 platform.
class Sni : public testing::Test {
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
        // The runtime directory, as Qt and weston want it.
        fs::permissions(dir.path(), fs::perms::owner_all, fs::perm_options::replace);
        // A socket path rather than dbus-daemon's default abstract one, which
        // the program's network namespace would hide.
        Started(Spawn({"dbus-daemon", "--session", "--nofork", "--address=" + bus}));
        Started(Spawn({"weston", "--backend=headless-backend.so", "--socket=wl-sni",
                       "--idle-time=0", "--no-config", "--debug"},
                      {"XDG_RUNTIME_DIR=" + dir.path().string()}));
        ASSERT_TRUE(WaitFor([&] { return fs::exists(dir / "wl-sni"); }));
        // The protocol log shows the windows' titles, seen from outside.
        Started(Spawn({"weston-debug", "-o", (dir / "proto").string(), "proto"},
                      {"XDG_RUNTIME_DIR=" + dir.path().string(), "WAYLAND_DISPLAY=wl-sni"}));
        // The socket's file comes before the daemon listens on it.
        ASSERT_TRUE(WaitFor([&] {
            host.reset();  // a failed connection goes before the next try
            host = std::make_unique<sni::Host>(QString::fromStdString(bus));
            return host->Ready();
        }));
    }
    void TearDown() override {
        for (auto pid = started.rbegin(); pid != started.rend(); ++pid) {
            kill(*pid, SIGKILL);
            waitpid(*pid, nullptr, 0);
        }
    }
    pid_t Started(pid_t pid) { return started.emplace_back(pid); }

    // Starts velumin in a network namespace of its own, with env added to the
    // session's; hidePlugin hides Qt's Wayland plugins from it. This machine's
    // uinput is out of its reach: the program would add a keyboard to it.
    void Launch(std::vector<std::string> env = {}, bool hidePlugin = false) {
        env.insert(env.begin(),
                   {"DBUS_SESSION_BUS_ADDRESS=" + bus, desktop.DisplayEnv(),
                    "XDG_RUNTIME_DIR=" + dir.path().string(),
                    "XDG_CONFIG_HOME=" + (dir / "config").string(),
                    "XDG_SESSION_TYPE=", "QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=wl-sni"});
        // A folder with the X11 plugin alone, mounted over Qt's platform plugins.
        const fs::path plugins =
            QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString() + "/platforms";
        fs::create_directories(dir / "platforms");
        fs::copy_file(plugins / "libqxcb.so", dir / "platforms/libqxcb.so",
                      fs::copy_options::skip_existing);
        const std::string hide = hidePlugin ? "mount --bind \"$2\" \"$3\" && " : "";
        program = Started(
            Spawn({"unshare", "-n", "-m", "sh", "-c",
                   hide + "{ ! [ -e /dev/uinput ] || mount --bind /dev/null /dev/uinput; } && "
                          "ip link set lo up && exec \"$0\" 2>>\"$1\"",
                   VELUMIN_EXE, (dir / "stderr").string(), (dir / "platforms").string(),
                   plugins.string()},
                  env));
    }
    int Exit(bool terminate = true) {
        int status = -1;
        if (terminate) {
            kill(program, SIGTERM);
        }
        return WaitFor([&] { return waitpid(program, &status, WNOHANG) == program; }) &&
                       WIFEXITED(status)
                   ? WEXITSTATUS(status)
                   : -1;
    }
    bool WindowShown(const std::string& title) {
        return testsupport::ReadFile(dir / "proto").find("set_title(\"" + title + "\")") !=
               std::string::npos;
    }
    std::string Errors() const { return testsupport::ReadFile(dir / "stderr"); }

    testsupport::TempDir dir;
    const std::string bus = "unix:path=" + (dir / "bus").string();
    testsupport::VirtualDesktop desktop;
    std::unique_ptr<sni::Host> host;
    std::vector<pid_t> started;
    pid_t program = -1;
};

TEST_F(Sni, IconFlashesAtTwoUpdatesAFlashAndItsMenuWorksOverDBus) {
    fs::create_directories(dir / "config/velumin");
    testsupport::WriteFile(dir / "config/velumin/Velumin.ini",
                           "[Settings]\nUseKeybordLed=0\nUseReceiveLed=1\nUseSendLed=1\n"
                           "ReceiveLed=0\nSendLed=2\n");
    Launch();
    ASSERT_TRUE(host->WaitForItem()) << Errors();
    // The first poll counts as traffic; after its flash the icon rests on Idle.
    ASSERT_TRUE(sni::Pump([&] { return host->IconShows() == "Idle"; })) << host->IconShows();

    std::vector<sni::MenuItem> items = host->MenuLayout();
    ASSERT_EQ(items.size(), 6U);
    const char* const labels[] = {
        "設定(_S)", nullptr, "キーボードLED使用", nullptr, "このプログラムについて(_A)",
        "終了(_X)"};
    for (std::size_t i = 0; i < items.size(); ++i) {
        const QVariantMap& item = items[i].properties;
        EXPECT_EQ(item.value(labels[i] ? "label" : "type").toString().toStdString(),
                  labels[i] ? labels[i] : "separator");
        EXPECT_TRUE(item.value("enabled", true).toBool()) << i;
    }
    EXPECT_EQ(items[2].properties.value("toggle-type").toString(), "checkmark");
    EXPECT_EQ(items[2].properties.value("toggle-state").toInt(), 0);
    // The host opens nothing first (no AboutToShow): the check must be current anyway.
    host->Click(items[2].id);
    EXPECT_TRUE(sni::Pump(
        [&] { return host->MenuLayout()[2].properties.value("toggle-state").toInt() == 1; }));

    // Quiet: idle cycles hand the host nothing.
    const int settled = host->NewIcons();
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(host->NewIcons(), settled);
    const auto start = std::chrono::steady_clock::now();
    {
        const pid_t traffic =
            Started(Spawn({"nsenter", "--net=/proc/" + std::to_string(program) + "/ns/net", "bash",
                           "-c", "while :; do echo > /dev/udp/127.0.0.1/9; sleep 0.02; done"}));
        bool flashSeen = false;
        EXPECT_TRUE(sni::Pump([&] {
            flashSeen = flashSeen || host->IconShows() != "Idle";
            return flashSeen && host->NewIcons() - settled >= 20;
        }));
        kill(traffic, SIGKILL);
    }
    ASSERT_TRUE(sni::Pump([&] { return host->IconShows() == "Idle"; }));
    // A flash takes at least 200 ms and changes the picture twice; the icon
    // is set only when its picture changes, and each setting is one update.
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    EXPECT_LE(host->NewIcons() - settled, 2 * (elapsed.count() / 200 + 1));

    host->Click(items.front().id);
    EXPECT_TRUE(WaitFor([&] { return WindowShown("設定"); }));
    host->Click(items.back().id);
    EXPECT_TRUE(WaitFor([&] { return WindowShown("Velumin"); }));
    EXPECT_EQ(Exit(), 0);
    EXPECT_NE(testsupport::ReadFile(dir / "config/velumin/Velumin.ini").find("UseKeybordLed=1\n"),
              std::string::npos);
}

// A Wayland session on a machine without qt6-wayland: Qt alone would abort.
TEST_F(Sni, WithoutTheWaylandPluginFallsBackToX11OrSaysWhatToInstall) {
    Launch({"DISPLAY=", "QT_QPA_PLATFORM="}, true);
    EXPECT_EQ(Exit(false), 1);
    EXPECT_EQ(CountOf(Errors(), "velumin: "), 1) << Errors();
    EXPECT_EQ(CountOf(Errors(), "install the package qt6-wayland"), 1) << Errors();

    Launch({"QT_QPA_PLATFORM=wayland"}, true);
    ASSERT_TRUE(host->WaitForItem()) << Errors();
    EXPECT_EQ(Exit(), 0);
}

}  // namespace

// The real velumin in the trays of real panels that show StatusNotifierItems:
// Xfce's panel on Xvfb (X11) and waybar on a headless sway (Wayland), each in a
// session of its own shared by the tests of that panel. The icon is read from
// the screen; the menu is worked over the session's bus, as the panel works it.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <functional>
#include <memory>
#include <regex>
#include <utility>

#include "support/desktop_linux.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using testsupport::WaitFor;

// Sway refuses root, and a session belongs to its user: everything in it,
// the program included, runs as nobody.
const std::string kAsUser = "setpriv --reuid=65534 --regid=65534 --clear-groups ";

void GiveToUser(const fs::path& path) {
    fs::create_directories(path);
    std::system(("chown -R 65534:65534 " + path.string()).c_str());
}

// A user's session with a real panel (scripts/panel-session.sh). What went
// wrong in starting it, if anything, is in failure.
class Session {
  public:
    explicit Session(bool onWayland) : wayland(onWayland) {
        GiveToUser(home);
        fs::permissions(home, fs::perms::owner_all, fs::perm_options::replace);
        // A copy the user can read wherever the checkout is.
        fs::copy_file(VELUMIN_SOURCE_DIR "/scripts/panel-session.sh", m_dir / "panel-session.sh");
        m_session = testsupport::Spawn({"sh", "-c",
                                        "exec " + kAsUser + (m_dir / "panel-session.sh").string() +
                                            " " + (wayland ? "sway" : "xfce")},
                                       {"HOME=" + home.string(), xServer.DisplayEnv()});
        if (!WaitFor([&] { return fs::exists(home / "session"); }, 60s)) {
            failure = "the panel's session did not start";
        }
        std::istringstream lines(testsupport::ReadFile(home / "session"));
        for (std::string line; std::getline(lines, line);) {
            env.push_back(line);
        }
        program = env;
        program.insert(program.end(),
                       {"HOME=" + home.string(), xServer.DisplayEnv(), "XDG_SESSION_TYPE=",
                        wayland ? "QT_QPA_PLATFORM=wayland" : "QT_QPA_PLATFORM=xcb"});
    }
    ~Session() { testsupport::StopProcess(m_session); }

    // A command of the session's user; its standard output, "" if it fails.
    std::string Output(const std::string& command) const {
        std::string line = "env";
        for (const std::string& word : env) {
            line += " '" + word + "'";
        }
        return testsupport::Output(line + " " + kAsUser + command);
    }
    // The lamp in the panel, at the top of the screen.
    testsupport::Lamp Lamp() {
        return testsupport::LampIn(
            wayland ? testsupport::FromPpm(Output("grim -t ppm -g '0,0 1024x40' -"))
                    : m_screen.Screen(1024, 40));
    }
    bool Shows(const std::string& title) {
        return wayland ? Output("swaymsg -t get_tree").find("\"name\": \"" + title + "\"") !=
                             std::string::npos
                       : !m_screen.Windows("velumin", title.c_str()).empty();
    }
    // The icon's pictures handed to the panel so far.
    int NewIcons() const {
        return testsupport::CountOf(testsupport::ReadFile(home / "updates"), "NewIcon");
    }

    const bool wayland;
    std::string failure;
    // The panel's X server, or the one that stands for XWayland.
    testsupport::VirtualDesktop xServer;
    // The program's environment in the session.
    std::vector<std::string> program;

  private:
    testsupport::TempDir m_dir;
    const fs::path home = m_dir / "home";
    std::vector<std::string> env;
    testsupport::XDesktop m_screen{xServer.Display()};
    pid_t m_session = -1;
};

// The tests of one panel share its session; each runs the program afresh.
class Panel : public testing::Test {
  protected:
    static void StartSession(bool wayland) {
        session = geteuid() == 0 ? std::make_unique<Session>(wayland) : nullptr;
    }
    static void TearDownTestSuite() { session.reset(); }
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root for a network namespace of the program's own";
        }
        ASSERT_EQ(session->failure, "");
        // A folder with the X11 plugin alone, to mount over Qt's platform plugins.
        fs::create_directories(dir / "platforms");
        fs::copy_file(VELUMIN_QT_PLATFORMS "/libqxcb.so", dir / "platforms/libqxcb.so");
        GiveToUser(dir / "config/velumin");
        // A copy the user can run wherever the build tree is.
        fs::copy_file(VELUMIN_EXE, dir / "velumin");
    }
    void TearDown() override { testsupport::StopProcess(program); }

    // The program in a network namespace of its own, as the session's user,
    // with env added to the session's; hidePlugin hides Qt's Wayland plugins.
    void Launch(std::vector<std::string> env = {}, bool hidePlugin = false) {
        env.insert(env.begin(), session->program.begin(), session->program.end());
        env.push_back("XDG_CONFIG_HOME=" + (dir / "config").string());
        const std::string hide = hidePlugin ? "mount --bind \"$2\" \"$3\" && " : "";
        program =
            testsupport::Spawn({"unshare", "-n", "-m", "sh", "-c",
                                hide + "ip link set lo up && exec " + kAsUser + "\"$0\" 2>>\"$1\"",
                                (dir / "velumin").string(), (dir / "stderr").string(),
                                (dir / "platforms").string(), VELUMIN_QT_PLATFORMS},
                               env);
    }
    int Exit(bool terminate = true) {
        if (terminate) {
            kill(program, SIGTERM);
        }
        return testsupport::ExitStatus(program, 60s);
    }
    std::string Errors() const { return testsupport::ReadFile(dir / "stderr"); }

    ::testing::AssertionResult Eventually(const std::function<bool()>& condition,
                                          const std::string& what) {
        return WaitFor(condition, 60s) ? ::testing::AssertionSuccess()
                                       : ::testing::AssertionFailure() << what;
    }
    ::testing::AssertionResult IconShows(const std::string& picture) {
        std::string seen;
        return Eventually([&] { return (seen = session->Lamp().picture) == picture; }, picture)
               << " expected, " << seen << " seen; " << Errors();
    }
    ::testing::AssertionResult Shows(const std::string& title) {
        return Eventually([&] { return session->Shows(title); }, title + " not shown");
    }

    // A method of the program's menu called as the panel calls it, at the
    // address the panel was given; its reply, "" if it failed or did not come
    // within 20 s.
    std::string CallMenu(const std::string& method, const std::string& arguments) {
        static const std::regex item("'(:[0-9.]+)/StatusNotifierItem'");
        std::smatch found;
        const std::string items = session->Output(
            "gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path "
            "/StatusNotifierWatcher --method org.freedesktop.DBus.Properties.Get "
            "org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems");
        return std::regex_search(items, found, item)
                   ? session->Output("gdbus call --session --timeout 20 --dest " + found[1].str() +
                                     " --object-path /MenuBar --method com.canonical.dbusmenu." +
                                     method + " -- " + arguments)
                   : "";
    }
    // The menu's entries as the panel reads them: each one's id and properties.
    std::vector<std::pair<std::string, std::string>> Layout() {
        static const std::regex entry(R"(<\((\d+), \{([^}]*)\})");
        const std::string layout = CallMenu("GetLayout", "0 -1 '[]'");
        std::vector<std::pair<std::string, std::string>> entries;
        for (std::sregex_iterator at(layout.begin(), layout.end(), entry), end; at != end; ++at) {
            entries.emplace_back((*at)[1], (*at)[2]);
        }
        return entries;
    }
    // An item clicked, as the panel sends it. The panel waits for the call to
    // return: the command must not run inside it, or the panel hangs while
    // the window it opens is open.
    void Click(const std::string& id) {
        EXPECT_NE(CallMenu("Event", id + " clicked '<0>' 0"), "") << "the click did not return";
    }

    // Everything a user does with the icon, on a program whose lock-key lamps
    // are set up but switched off.
    void IconAndMenu() {
        testsupport::WriteFile(dir / "config/velumin/Velumin.ini",
                               "[Settings]\nUseKeybordLed=0\nUseReceiveLed=1\nUseSendLed=1\n"
                               "ReceiveLed=0\nSendLed=2\n");
        GiveToUser(dir / "config");
        testsupport::XDesktop keys(session->xServer.Display());
        keys.SetLed("Caps Lock", XK_Caps_Lock, true);
        keys.SetLed("Num Lock", XK_Num_Lock, false);
        Launch();
        ASSERT_TRUE(IconShows("Idle"));
        const int updates = session->NewIcons();
        for (int sample = 0; sample < 10; ++sample) {
            ASSERT_EQ(session->Lamp().picture, "Idle") << "flashed without traffic";
        }
        EXPECT_EQ(session->NewIcons(), updates) << "the icon was set again while idle";

        // Settings, the keyboard switch, About and Exit, as the panel lists them.
        const auto menu = Layout();
        std::string kinds;
        for (const auto& [id, properties] : menu) {
            kinds += properties.find("'separator'") != std::string::npos ? "- " : "item ";
        }
        ASSERT_EQ(kinds, "item - item - item item ");
        EXPECT_NE(menu[2].second.find("'toggle-state': <0>"), std::string::npos) << menu[2].second;
        Click(menu[0].first);
        EXPECT_TRUE(Shows("設定"));
        Click(menu[2].first);
        EXPECT_TRUE(Eventually(
            [&] {
                const auto now = Layout();
                return now.size() == 6 &&
                       now[2].second.find("'toggle-state': <1>") != std::string::npos;
            },
            "no tick"));
        Click(menu[4].first);
        EXPECT_TRUE(Shows("このプログラムについて"));

        // A flash takes at least 200 ms and sets the picture twice, and only
        // there: the bus carries no more updates than that.
        bool keysFlipped = false;
        const auto start = std::chrono::steady_clock::now();
        {
            testsupport::LoopbackTraffic traffic(program);
            bool flashed = false;
            EXPECT_TRUE(Eventually(
                [&] {
                    flashed = flashed || testsupport::Lit(session->Lamp().picture);
                    keysFlipped = keysFlipped || !keys.Led("Caps Lock") || keys.Led("Num Lock");
                    return flashed && (session->wayland || keysFlipped) &&
                           session->NewIcons() - updates >= 8;
                },
                "no flash"));
        }
        ASSERT_TRUE(IconShows("Idle"));
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        EXPECT_LE(session->NewIcons() - updates, 2 * (elapsed.count() / 200 + 1));
        // The lock keys of XWayland would light nothing real; those of X11
        // flash. The session's user may not press them through /dev/uinput.
        EXPECT_EQ(keysFlipped, !session->wayland);
        EXPECT_EQ(testsupport::CountOf(
                      Errors(), "velumin: the keyboard lamps stay dark in this Wayland session"),
                  session->wayland ? 1 : 0)
            << Errors();

        // Exit asks first; the session's end, with the windows open, ends it.
        Click(menu[5].first);
        EXPECT_TRUE(Shows("Velumin"));
        EXPECT_EQ(Exit(), 0) << Errors();
        EXPECT_TRUE(IconShows("none"));
        EXPECT_TRUE(keys.Led("Caps Lock") && !keys.Led("Num Lock"));
        EXPECT_NE(testsupport::ReadFile(dir / "config/velumin/Velumin.ini").find("KeybordLed=1\n"),
                  std::string::npos);
    }

    static inline std::unique_ptr<Session> session;
    testsupport::TempDir dir;
    pid_t program = -1;
};

class Xfce : public Panel {
  protected:
    static void SetUpTestSuite() { StartSession(false); }
};
class Waybar : public Panel {
  protected:
    static void SetUpTestSuite() { StartSession(true); }
};

TEST_F(Xfce, IconIdlesFlashesAndItsMenuWorks) {
    IconAndMenu();
}

TEST_F(Waybar, IconIdlesFlashesAndItsMenuWorks) {
    IconAndMenu();
}

// A Wayland session on a machine without qt6-wayland: Qt alone would abort.
TEST_F(Waybar, WithoutTheWaylandPluginFallsBackToX11OrSaysWhatToInstall) {
    Launch({"DISPLAY=", "QT_QPA_PLATFORM="}, true);
    EXPECT_EQ(Exit(false), 1);
    EXPECT_EQ(testsupport::CountOf(Errors(), "velumin: "), 1) << Errors();
    EXPECT_EQ(testsupport::CountOf(Errors(), "install the package qt6-wayland"), 1) << Errors();

    Launch({"QT_QPA_PLATFORM=wayland"}, true);
    EXPECT_TRUE(IconShows("Idle"));
    EXPECT_EQ(Exit(), 0) << Errors();
}

}  // namespace

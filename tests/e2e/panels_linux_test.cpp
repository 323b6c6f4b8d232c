// The real velumin in the trays of real panels that show StatusNotifierItems:
// Xfce's panel on Xvfb (X11) and waybar on a headless sway (Wayland), each in a
// session of its own shared by the tests of that panel. What the user sees is
// read from the screen; the pointer and keys come as a user's do: through the
// X server's test extension, and on sway, which has no pointer of its own, as
// a VNC viewer's through wayvnc's virtual pointer and keyboard.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>

#include <X11/keysym.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <regex>
#include <sstream>
#include <utility>

#include "support/desktop_linux.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using testsupport::Image;
using testsupport::Luma;
using testsupport::WaitFor;

// Sway refuses root, and a session belongs to its user: everything in it,
// the program included, runs as nobody.
const std::string kAsUser = "setpriv --reuid=65534 --regid=65534 --clear-groups ";

void GiveToUser(const fs::path& path) {
    fs::create_directories(path);
    std::system(("chown -R 65534:65534 " + path.string()).c_str());
}

// A menu drawn light on the session's dark desktop and panel, row by row:
// items (a line of text; marks: its dark pixels, a check box's tick among
// them) and separators (a line across).
struct MenuRow {
    std::string kind;
    int top = 0;
    int bottom = 0;
    int marks = 0;
    bool operator==(const MenuRow&) const = default;
};
struct Menu {
    int x = 0;
    int right = 0;
    std::vector<MenuRow> rows;
    std::string Kinds() const {
        std::string kinds;
        for (const MenuRow& row : rows) {
            kinds += (kinds.empty() ? "" : " ") + row.kind;
        }
        return kinds;
    }
};

Menu MenuOn(const Image& screen) {
    Menu menu{screen.width, 0, {}};
    int top = -1, bottom = -1;
    std::uint32_t background = 0;
    for (int y = 0; y < screen.height; ++y) {
        int light = 0, first = screen.width, last = 0;
        for (int x = 0; x < screen.width; ++x) {
            if (Luma(screen.At(x, y)) >= 160) {
                ++light;
                first = std::min(first, x);
                last = x;
                background = std::max(background, screen.At(x, y));
            }
        }
        if (light >= 60) {  // wider than a pointer
            top = top < 0 ? y : top;
            bottom = y;
            menu.x = std::min(menu.x, first);
            menu.right = std::max(menu.right, last);
        }
    }
    for (int y = top + 1; top >= 0 && y < bottom; ++y) {
        int ink = 0;
        for (int x = menu.x + 1; x < menu.right; ++x) {
            ink += Luma(screen.At(x, y)) < 128;
        }
        const std::string kind = ink > 0 ? "item"
                                 : screen.At((menu.x + menu.right) / 2, y) != background
                                     ? "separator"
                                     : "";
        // A line of text keeps together across a row or two of gaps in its glyphs.
        if (!menu.rows.empty() && menu.rows.back().kind == kind &&
            y - menu.rows.back().bottom < 4) {
            menu.rows.back().bottom = y;
            menu.rows.back().marks += ink;
        } else if (!kind.empty()) {
            menu.rows.push_back({kind, y, y, ink});
        }
    }
    // The frame's own lines above the first item and below the last are no separators.
    while (!menu.rows.empty() && menu.rows.front().kind != "item") {
        menu.rows.erase(menu.rows.begin());
    }
    while (!menu.rows.empty() && menu.rows.back().kind != "item") {
        menu.rows.pop_back();
    }
    return menu;
}

// A user's session with a real panel (scripts/panel-session.sh), and the ways
// in. What went wrong in starting it, if anything, is in failure.
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
            return;
        }
        std::istringstream lines(testsupport::ReadFile(home / "session"));
        for (std::string line; std::getline(lines, line);) {
            env.push_back(line);
        }
        program = env;
        program.insert(program.end(),
                       {"HOME=" + home.string(), xServer.DisplayEnv(), "XDG_SESSION_TYPE=",
                        wayland ? "QT_QPA_PLATFORM=wayland" : "QT_QPA_PLATFORM=xcb"});
        // A VNC viewer's handshake: protocol 3.8, no authentication, a shared
        // session, the server's name; then only pointer and key events go.
        sockaddr_un vnc{AF_UNIX, {}};
        (home / "vnc").string().copy(vnc.sun_path, sizeof vnc.sun_path - 1);
        char in[256];
        if (wayland &&
            (connect(m_vnc, reinterpret_cast<sockaddr*>(&vnc), sizeof vnc) != 0 || !Read(in, 12) ||
             !Vnc("RFB 003.008\n", 12) || !Read(in, 1) || !Read(in, std::uint8_t(in[0])) ||
             !Vnc("\1", 1) || !Read(in, 4) || in[3] != 0 || !Vnc("\1", 1) || !Read(in, 24) ||
             !Read(in, std::uint8_t(in[23])))) {
            failure = "wayvnc does not answer";
        }
    }
    ~Session() {
        close(m_vnc);
        testsupport::StopProcess(m_session);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The screen's top rows, where the panel is and its menu opens.
    Image Screen(int rows = 240) {
        return wayland ? testsupport::FromPpm(
                             Output("grim -t ppm -g '0,0 1024x" + std::to_string(rows) + "' -"))
                       : m_screen.Screen(1024, rows);
    }
    // A click; then the pointer rests in the bottom left corner, off the menu and the panel.
    void Click(int x, int y, int button) {
        if (!wayland) {
            xServer.Run("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) +
                        " click " + std::to_string(button) + " mousemove 0 767");
            return;
        }
        for (const int buttons : {0, 1 << (button - 1), 0}) {
            Vnc({5, buttons, x >> 8, x & 255, y >> 8, y & 255});
        }
        Vnc({5, 0, 0, 0, 767 >> 8, 767 & 255});
    }
    bool Shows(const std::string& title) {
        return wayland ? Output("swaymsg -t get_tree").find("\"name\": \"" + title + "\"") !=
                             std::string::npos
                       : !m_screen.Windows("velumin", title.c_str()).empty();
    }
    // A key, by its X name, pressed in the program's window of that title.
    void Press(const std::string& title, const std::string& key) {
        for (const auto& window : m_screen.Windows("velumin", title.c_str())) {
            xServer.Run("xdotool windowfocus --sync " + window.id + " key " + key);
        }
        if (wayland && Run("swaymsg '[title=\"^" + title + "$\"] focus' >/dev/null") == 0) {
            const auto keysym = int(XStringToKeysym(key.c_str()));
            for (const int down : {1, 0}) {
                Vnc({4, down, 0, 0, 0, 0, keysym >> 8 & 255, keysym & 255});
            }
        }
    }
    // An item of the program's menu clicked as the panel sends it over the
    // session bus, at the address the panel was given; false if the call
    // fails or does not return within 20 s.
    bool SendClick(std::size_t item) const {
        static const std::regex address("'(:[0-9.]+)/StatusNotifierItem'");
        static const std::regex labelled(R"(<\((\d+), \{[^}]*'label')");
        const std::string items = Output(
            "gdbus call --session --dest org.kde.StatusNotifierWatcher --object-path "
            "/StatusNotifierWatcher --method org.freedesktop.DBus.Properties.Get "
            "org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems");
        std::smatch found;
        if (!std::regex_search(items, found, address)) {
            return false;
        }
        const std::string menu = "gdbus call --session --timeout 20 --dest " + found[1].str() +
                                 " --object-path /MenuBar --method com.canonical.dbusmenu.";
        const std::string layout = Output(menu + "GetLayout -- 0 -1 '[]'");
        std::vector<std::string> ids;
        for (std::sregex_iterator at(layout.begin(), layout.end(), labelled), end; at != end;
             ++at) {
            ids.push_back((*at)[1]);
        }
        return item < ids.size() &&
               !Output(menu + "Event -- " + ids[item] + " clicked '<0>' 0").empty();
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
    // A shell command line for one command of the session's user.
    std::string Command(const std::string& command) const {
        std::string line = "env";
        for (const std::string& word : env) {
            line += " '" + word + "'";
        }
        return line + " " + kAsUser + command;
    }
    int Run(const std::string& command) const { return std::system(Command(command).c_str()); }
    std::string Output(const std::string& command) const {
        return testsupport::Output(Command(command));
    }
    bool Read(char* bytes, std::size_t size) {
        return recv(m_vnc, bytes, size, MSG_WAITALL) == ssize_t(size);
    }
    bool Vnc(const char* bytes, std::size_t size) {
        return send(m_vnc, bytes, size, MSG_NOSIGNAL) == ssize_t(size);
    }
    void Vnc(std::initializer_list<int> event) {
        const std::string bytes(event.begin(), event.end());
        Vnc(bytes.data(), bytes.size());
    }

    testsupport::TempDir m_dir;
    const fs::path home = m_dir / "home";
    std::vector<std::string> env;
    testsupport::XDesktop m_screen{xServer.Display()};
    int m_vnc = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
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
        // LeakSanitizer's suppressions, copied where the user can read them.
        const char* const sanitizer = std::getenv("LSAN_OPTIONS");
        std::string leaks = sanitizer != nullptr ? sanitizer : "";
        if (const std::size_t at = leaks.find("suppressions="); at != std::string::npos) {
            const std::size_t from = at + std::strlen("suppressions=");
            const std::size_t length = leaks.find(':', from) - from;
            fs::copy_file(leaks.substr(from, length), dir / "lsan.supp",
                          fs::copy_options::overwrite_existing);
            env.push_back("LSAN_OPTIONS=" +
                          leaks.replace(from, length, (dir / "lsan.supp").string()));
        }
        const std::string hide = hidePlugin ? "mount --bind \"$2\" \"$3\" && " : "";
        program =
            testsupport::Spawn({"unshare", "-n", "-m", "sh", "-c",
                                hide + "ip link set lo up && exec " + kAsUser + "\"$0\" 2>>\"$1\"",
                                (dir / "velumin").string(), (dir / "stderr").string(),
                                (dir / "platforms").string(), VELUMIN_QT_PLATFORMS},
                               env);
    }
    int Exit(bool terminate = true) { return testsupport::ExitStatus(program, terminate); }
    std::string Errors() const { return testsupport::ReadFile(dir / "stderr"); }

    ::testing::AssertionResult Eventually(const std::function<bool()>& condition,
                                          const std::string& what) {
        return WaitFor(condition, 60s) ? ::testing::AssertionSuccess()
                                       : ::testing::AssertionFailure() << what;
    }
    testsupport::Lamp Lamp() { return testsupport::LampIn(session->Screen(40)); }
    ::testing::AssertionResult IconShows(const std::string& picture) {
        std::string seen;
        return Eventually([&] { return (seen = Lamp().picture) == picture; }, picture)
               << " expected, " << seen << " seen; " << Errors();
    }
    ::testing::AssertionResult Shows(const std::string& title, bool shown = true) {
        return Eventually([&] { return session->Shows(title) == shown; },
                          title + (shown ? " not shown" : " still shown"));
    }

    // A right click on the icon, again as a user would if no menu came; the
    // menu once it is drawn in full (the same twice running).
    Menu OpenMenu() {
        Menu menu;
        EXPECT_TRUE(Eventually(
            [&] {
                const testsupport::Lamp icon = Lamp();
                session->Click(icon.x, icon.y, 3);
                Menu drawn;
                return WaitFor(
                    [&] {
                        drawn = std::exchange(menu, MenuOn(session->Screen()));
                        return !menu.rows.empty() && menu.rows == drawn.rows;
                    },
                    5s);
            },
            "no menu"));
        return menu;
    }
    // An item clicked; returns once the menu has gone (the window it opens may
    // take its place).
    void Choose(const Menu& menu, std::size_t item) {
        ASSERT_LT(item, menu.rows.size());
        session->Click((menu.x + menu.right) / 2,
                       (menu.rows[item].top + menu.rows[item].bottom) / 2, 1);
        EXPECT_TRUE(Eventually([&] { return MenuOn(session->Screen()).rows != menu.rows; },
                               "the menu stays open"));
    }
    // A window opened from the menu and shut by a key.
    void Opens(const Menu& menu, std::size_t item, const std::string& title, const char* key) {
        Choose(menu, item);
        ASSERT_TRUE(Shows(title));
        session->Press(title, key);
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
        for (const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
             std::chrono::steady_clock::now() < end;) {
            ASSERT_EQ(Lamp().picture, "Idle") << "flashed without traffic";
        }
        EXPECT_EQ(session->NewIcons(), updates) << "the icon was set again while idle";

        // Settings, the keyboard switch, About and Exit, as the panel draws them.
        const Menu menu = OpenMenu();
        ASSERT_EQ(menu.Kinds(), "item separator item separator item item");
        Opens(menu, 0, "設定", "Escape");
        ASSERT_TRUE(Shows("設定", false));
        Choose(OpenMenu(), 2);
        const Menu ticked = OpenMenu();
        ASSERT_EQ(ticked.rows.size(), menu.rows.size());
        EXPECT_GT(ticked.rows[2].marks, menu.rows[2].marks) << "no tick";
        session->Click(512, 600, 1);  // off the menu, which closes it
        ASSERT_TRUE(Eventually([&] { return MenuOn(session->Screen()).rows.empty(); },
                               "the menu stays open"));
        // The panel's call returns at once: the command runs after it, or the
        // panel would wait for the dialog to close.
        EXPECT_TRUE(session->SendClick(2)) << "the click did not return";
        ASSERT_TRUE(Shows("このプログラムについて"));
        session->Press("このプログラムについて", "Escape");
        ASSERT_TRUE(Shows("このプログラムについて", false));

        // A flash takes at least 200 ms and sets the picture twice, and only
        // there: the bus carries no more updates than that.
        bool keysFlipped = false;
        const auto start = std::chrono::steady_clock::now();
        {
            testsupport::LoopbackTraffic traffic(program);
            bool flashed = false;
            EXPECT_TRUE(Eventually(
                [&] {
                    const std::string seen = Lamp().picture;
                    flashed = flashed || testsupport::Lit(seen);
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

        Opens(OpenMenu(), 5, "Velumin", "Return");
        EXPECT_EQ(Exit(false), 0) << Errors();
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

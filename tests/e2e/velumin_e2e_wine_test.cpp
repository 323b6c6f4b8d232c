// Velumin.exe of the Windows build, run under Wine on a virtual desktop with trayer
// as the tray: what a user sees and what is left in the ini file. A probe program of
// that build finds the program's windows; the menu is worked with the real pointer.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/tray_area_linux.h"
#include "support/virtual_desktop_linux.h"
#include "support/wine_shell_linux.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kWindowsBuild = VELUMIN_WINDOWS_BUILD_DIR;
const std::string kProgram = kWindowsBuild + "/src/app/Velumin.exe";
const std::string kProbe = kWindowsBuild + "/tests/e2e/velumin_window_probe.exe";
const std::string kWinePrefix = kWindowsBuild + "/wineprefix";
const std::string kWineRun = std::string(VELUMIN_SOURCE_DIR) + "/scripts/wine-run.sh";
const std::string kPageUrl = "http://velumin.example/hw/software/velumin/index.html";

const std::vector<std::string> kKeysInOrder = {"UseKeybordLed", "UseReceiveLed", "UseSendLed",
                                               "ReceiveLed",    "SendLed",       "SerialPortNum",
                                               "UseSerialLed",  "LedInversion"};

// Control ids by which the probe tells the windows apart.
constexpr int kSettingsDialog = 1012;
constexpr int kAboutDialog = 1009;
constexpr int kMessageBox = 0xFFFF;

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The keys of section "Settings" in file order, each "Key=value".
std::vector<std::string> IniLines(const fs::path& path) {
    std::istringstream text(ReadFile(path));
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(text, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::string IniValue(const fs::path& path, const std::string& key) {
    const std::vector<std::string> lines = IniLines(path);
    const auto line = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
        return l.rfind(key + "=", 0) == 0;
    });
    return line == lines.end() ? "(missing)" : line->substr(key.size() + 1);
}

class VeluminWine : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const std::string& needed : {kProgram, kProbe}) {
            if (!fs::exists(needed)) {
                GTEST_SKIP() << needed << " is missing: build the windows preset first "
                             << "(VELUMIN_WINDOWS_BUILD_DIR names another tree)";
            }
        }
        ASSERT_TRUE(
            testsupport::WaitFor([] { return !testsupport::WineShellRunning(kWinePrefix); }, 30s))
            << "Wine's explorer.exe of " << kWinePrefix << " from an earlier run is still alive";
        char pattern[] = "/tmp/velumin-e2e-wine-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        // The program writes its ini file beside itself: each test runs its own copy.
        fs::copy_file(kProgram, m_dir / "Velumin.exe");
        // Wine hands web pages to xdg-open; this one only records what it is given.
        fs::create_directories(m_dir / "bin");
        const fs::path opener = m_dir / "bin" / "xdg-open";
        std::ofstream(opener) << "#!/bin/sh\necho \"$@\" >> '" << (m_dir / "opened").string()
                              << "'\n";
        fs::permissions(opener, fs::perms::owner_all);
        m_desktop = std::make_unique<testsupport::VirtualDesktop>(true);
        m_tray = std::make_unique<testsupport::TrayArea>(m_desktop->Display());
    }

    void TearDown() override {
        for (const pid_t pid : m_programs) {
            if (!Ended(pid)) {
                Probe({"close"});
                if (!testsupport::WaitFor([&] { return Ended(pid); }, 20s)) {
                    testsupport::StopProcess(pid);
                }
            }
        }
        m_tray.reset();
        m_desktop.reset();
        if (!m_dir.empty()) {
            fs::remove_all(m_dir);
        }
    }

    std::vector<std::string> Environment() const {
        const char* path = std::getenv("PATH");
        return {m_desktop->DisplayEnv(), "WINEPREFIX=" + kWinePrefix,
                "PATH=" + (m_dir / "bin").string() + ":" + (path != nullptr ? path : "")};
    }

    pid_t StartProgram() {
        const pid_t pid =
            testsupport::Spawn({kWineRun, (m_dir / "Velumin.exe").string()}, Environment());
        m_programs.push_back(pid);
        return pid;
    }

    bool Ended(pid_t pid) {
        int status = 0;
        const pid_t result = waitpid(pid, &status, WNOHANG);
        if (result == pid) {
            m_exited[pid] = status;
            return true;
        }
        return result < 0;  // reaped already
    }

    ::testing::AssertionResult EndsWithin(pid_t pid, std::chrono::seconds limit) {
        if (testsupport::WaitFor([&] { return Ended(pid); }, limit)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "the program is still running";
    }

    // Runs the probe under Wine; its exit status, its output in output.
    int Probe(const std::vector<std::string>& args, std::string* output = nullptr) {
        const fs::path out = m_dir / "probe.out";
        std::vector<std::string> argv = {kWineRun, kProbe};
        argv.insert(argv.end(), args.begin(), args.end());
        const pid_t pid = fork();
        if (pid == 0) {
            // A file, not a pipe: a Wine process that inherits a pipe can keep it open.
            const int file = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int devnull = open("/dev/null", O_RDWR);
            dup2(devnull, 0);
            dup2(file, 1);
            dup2(devnull, 2);
            for (const std::string& assignment : Environment()) {
                putenv(strdup(assignment.c_str()));
            }
            std::vector<char*> raw(argv.size() + 1, nullptr);
            std::transform(argv.begin(), argv.end(), raw.begin(),
                           [](const std::string& a) { return const_cast<char*>(a.c_str()); });
            execv(raw[0], raw.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        if (output != nullptr) {
            *output = ReadFile(out);
            while (!output->empty() && (output->back() == '\n' || output->back() == '\r')) {
                output->pop_back();
            }
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    bool ProbeSays(const std::vector<std::string>& args) { return Probe(args) == 0; }

    ::testing::AssertionResult Eventually(const std::vector<std::string>& args) {
        if (testsupport::WaitFor([&] { return ProbeSays(args); }, 30s)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "probe " << args.front() << " never succeeded";
    }

    ::testing::AssertionResult EventuallyNot(const std::vector<std::string>& args) {
        if (testsupport::WaitFor([&] { return !ProbeSays(args); }, 30s)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "probe " << args.front() << " kept succeeding";
    }

    // The one docked icon's rectangle, once it is there.
    ::testing::AssertionResult OneIcon(testsupport::ScreenRect& icon) {
        std::vector<testsupport::ScreenRect> icons;
        if (!testsupport::WaitFor([&] { return (icons = m_tray->DockedIcons()).size() == 1; },
                                  60s)) {
            return ::testing::AssertionFailure() << icons.size() << " icons docked";
        }
        icon = icons.front();
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult NoIcon() {
        if (testsupport::WaitFor([&] { return m_tray->DockedIcons().empty(); }, 20s)) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "an icon is still docked";
    }

    // Right click on the icon; true once the menu is open at the pointer.
    ::testing::AssertionResult OpenMenu(const testsupport::ScreenRect& icon,
                                        testsupport::ScreenRect* menu = nullptr) {
        const int x = icon.x + icon.width / 2;
        const int y = icon.y + icon.height / 2;
        m_desktop->Run("xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) +
                       " click 3");
        std::string rect;
        if (!testsupport::WaitFor([&] { return Probe({"menu"}, &rect) == 0; }, 30s)) {
            return ::testing::AssertionFailure() << "no menu opened";
        }
        testsupport::ScreenRect seen;
        int right = 0;
        int bottom = 0;
        std::istringstream(rect) >> seen.x >> seen.y >> right >> bottom;
        seen.width = right - seen.x;
        seen.height = bottom - seen.y;
        if (menu != nullptr) {
            *menu = seen;
        }
        if (seen.x != x || seen.y != y) {
            return ::testing::AssertionFailure()
                   << "menu at " << seen.x << " " << seen.y << ", pointer at " << x << " " << y;
        }
        return ::testing::AssertionSuccess();
    }

    // Dark pixels in a band of the menu from left to left + width.
    int DarkPixels(const testsupport::ScreenRect& menu, int left, int width) {
        ::Display* display = XOpenDisplay(m_desktop->Display().c_str());
        if (display == nullptr) {
            return -1;
        }
        int dark = -1;
        if (XImage* image = XGetImage(display, DefaultRootWindow(display), menu.x + left,
                                      menu.y + 1, static_cast<unsigned>(width),
                                      static_cast<unsigned>(menu.height - 2), AllPlanes, ZPixmap)) {
            dark = 0;
            for (int y = 0; y < menu.height - 2; ++y) {
                for (int x = 0; x < width; ++x) {
                    const unsigned long pixel = XGetPixel(image, x, y);
                    if (((pixel >> 16) & 0xFF) < 64 && ((pixel >> 8) & 0xFF) < 64 &&
                        (pixel & 0xFF) < 64) {
                        ++dark;
                    }
                }
            }
            XDestroyImage(image);
        }
        XCloseDisplay(display);
        return dark;
    }

    // The menu's left margin holds nothing but a check mark; the texts right of it
    // show that the menu has been drawn.
    int CheckMarkPixels(const testsupport::ScreenRect& menu) { return DarkPixels(menu, 1, 14); }
    bool MenuDrawn(const testsupport::ScreenRect& menu) {
        return DarkPixels(menu, 16, menu.width - 20) > 100;
    }

    // Chooses a menu item by keys, as a user may; the menu has the keyboard.
    void ChooseByKeys(const std::string& keys) {
        m_desktop->Run("xdotool key " + keys);
        EXPECT_TRUE(EventuallyNot({"menu"}));
    }

    ::testing::AssertionResult ExitAnswered(const testsupport::ScreenRect& icon,
                                            const std::string& answer) {
        if (auto opened = OpenMenu(icon); !opened) {
            return opened;
        }
        ChooseByKeys("x");
        std::string question;
        if (!testsupport::WaitFor(
                [&] {
                    return Probe({"text", std::to_string(kMessageBox), "65535"}, &question) == 0;
                },
                30s)) {
            return ::testing::AssertionFailure() << "no exit question";
        }
        if (question != "終了しますか？") {
            return ::testing::AssertionFailure() << "asked " << question;
        }
        Probe({"answer", answer});
        return EventuallyNot({"dialog", std::to_string(kMessageBox)});
    }

    fs::path Ini() const { return m_dir / "Velumin.ini"; }

    fs::path m_dir;
    std::unique_ptr<testsupport::VirtualDesktop> m_desktop;
    std::unique_ptr<testsupport::TrayArea> m_tray;
    std::vector<pid_t> m_programs;
    std::map<pid_t, int> m_exited;
};

TEST_F(VeluminWine, FirstStartShowsOneHiddenIdleIconAndCloseSavesTheEightKeys) {
    const pid_t program = StartProgram();
    testsupport::ScreenRect icon;
    ASSERT_TRUE(OneIcon(icon));
    std::string picture;
    EXPECT_TRUE(
        testsupport::WaitFor([&] { return (picture = m_tray->ShownLampPicture()) == "Idle"; }, 30s))
        << "the tray shows " << picture;
    ASSERT_TRUE(Eventually({"host"}));
    EXPECT_TRUE(ProbeSays({"hidden"})) << "the host window is visible";
    EXPECT_FALSE(fs::exists(Ini())) << "nothing is written while the program runs";

    ASSERT_TRUE(ProbeSays({"close"}));
    ASSERT_TRUE(EndsWithin(program, 30s));
    EXPECT_TRUE(NoIcon());
    std::vector<std::string> expected = {"[Settings]"};
    const std::vector<std::string> lines = IniLines(Ini());
    ASSERT_EQ(lines.size(), kKeysInOrder.size() + 1) << ReadFile(Ini());
    EXPECT_EQ(lines.front(), "[Settings]");
    for (std::size_t i = 0; i < kKeysInOrder.size(); ++i) {
        EXPECT_EQ(lines[i + 1].substr(0, lines[i + 1].find('=')), kKeysInOrder[i]);
    }
}

TEST_F(VeluminWine, SecondInstanceEndsAtOnceAndLeavesTheFirstUntouched) {
    const pid_t first = StartProgram();
    testsupport::ScreenRect icon;
    ASSERT_TRUE(OneIcon(icon));
    ASSERT_TRUE(Eventually({"host"}));
    std::ofstream(Ini()) << "[Settings]\r\nUseKeybordLed=2\r\n";
    const std::string before = ReadFile(Ini());

    const pid_t second = StartProgram();
    ASSERT_TRUE(EndsWithin(second, 60s));
    EXPECT_EQ(m_tray->DockedIcons().size(), 1U);
    EXPECT_EQ(ReadFile(Ini()), before) << "the second instance wrote the ini file";
    EXPECT_FALSE(Ended(first));

    ASSERT_TRUE(ProbeSays({"close"}));
    ASSERT_TRUE(EndsWithin(first, 30s));
    EXPECT_EQ(IniValue(Ini(), "UseKeybordLed"), "0") << "the first saves what it loaded before";
}

TEST_F(VeluminWine, EndOfSessionStopsAndSaves) {
    const pid_t program = StartProgram();
    testsupport::ScreenRect icon;
    ASSERT_TRUE(OneIcon(icon));
    ASSERT_TRUE(Eventually({"host"}));
    ASSERT_TRUE(ProbeSays({"endsession"}));
    EXPECT_EQ(IniLines(Ini()).size(), kKeysInOrder.size() + 1) << "saved before the answer";
    EXPECT_TRUE(NoIcon());
    EXPECT_TRUE(EndsWithin(program, 30s));
}

TEST_F(VeluminWine, MenuAtThePointerKeyboardItemFlipsAndExitNoThenYes) {
    const pid_t program = StartProgram();
    testsupport::ScreenRect icon;
    ASSERT_TRUE(OneIcon(icon));

    testsupport::ScreenRect menu;
    ASSERT_TRUE(OpenMenu(icon, &menu));
    ASSERT_TRUE(testsupport::WaitFor([&] { return MenuDrawn(menu); }));
    EXPECT_EQ(CheckMarkPixels(menu), 0) << "no file loads UseKeybordLed 0: no check mark";
    ChooseByKeys("Down Down Return");  // the keyboard item, below Settings and a separator
    ASSERT_TRUE(OpenMenu(icon, &menu));
    ASSERT_TRUE(testsupport::WaitFor([&] { return MenuDrawn(menu); }));
    EXPECT_GT(CheckMarkPixels(menu), 4)
        << "the keyboard item shows no check mark after it was chosen";
    ChooseByKeys("Escape");

    // Enter and Escape while the host has the focus: nothing opens, nothing ends.
    ASSERT_TRUE(ProbeSays({"keys-to-host"}));
    ASSERT_TRUE(ExitAnswered(icon, "no"));
    EXPECT_FALSE(ProbeSays({"dialog", std::to_string(kSettingsDialog)})) << "Settings opened";
    EXPECT_FALSE(Ended(program));
    EXPECT_EQ(m_tray->DockedIcons().size(), 1U);
    EXPECT_FALSE(fs::exists(Ini()));

    ASSERT_TRUE(ExitAnswered(icon, "yes"));
    ASSERT_TRUE(EndsWithin(program, 30s));
    EXPECT_TRUE(NoIcon());
    EXPECT_EQ(IniValue(Ini(), "UseKeybordLed"), "1") << "no file loads 0, the item flipped it";
}

TEST_F(VeluminWine, SettingsOkSavesAtOnceAndCancelLeavesTheFileAlone) {
    StartProgram();
    testsupport::ScreenRect icon;
    ASSERT_TRUE(OneIcon(icon));
    const std::string settings = std::to_string(kSettingsDialog);

    ASSERT_TRUE(OpenMenu(icon));
    ChooseByKeys("s");
    ASSERT_TRUE(Eventually({"dialog", settings}));
    std::string title;
    Probe({"dialog", settings}, &title);
    EXPECT_EQ(title, "設定");
    ASSERT_TRUE(ProbeSays({"click", settings, "1012"}));
    ASSERT_TRUE(ProbeSays({"select", settings, "1021", "4"}));
    ASSERT_TRUE(ProbeSays({"click", settings, "1024"}));
    ASSERT_TRUE(Eventually({"checked", settings, "1024"}));
    ASSERT_TRUE(ProbeSays({"click", settings, "1010"}));
    ASSERT_TRUE(EventuallyNot({"dialog", settings}));
    ASSERT_TRUE(testsupport::WaitFor([&] { return IniLines(Ini()).size() == 9; }, 30s))
        << "OK did not save";
    EXPECT_EQ(IniValue(Ini(), "UseReceiveLed"), "1");
    EXPECT_EQ(IniValue(Ini(), "SerialPortNum"), "5");
    EXPECT_EQ(IniValue(Ini(), "LedInversion"), "1");
    const std::string saved = ReadFile(Ini());

    ASSERT_TRUE(OpenMenu(icon));
    ChooseByKeys("s");
    ASSERT_TRUE(Eventually({"dialog", settings}));
    for (const char* box : {"1012", "1013", "1023", "1024"}) {
        ASSERT_TRUE(ProbeSays({"click", settings, box}));
    }
    ASSERT_TRUE(ProbeSays({"select", settings, "1021", "9"}));
    ASSERT_TRUE(ProbeSays({"click", settings, "2"}));
    ASSERT_TRUE(EventuallyNot({"dialog", settings}));
    EXPECT_EQ(ReadFile(Ini()), saved) << "Cancel wrote the file";
}

TEST_F(VeluminWine, AboutButtonAnsweredNoOpensNothingAndYesHandsThePageOnce) {
    const pid_t program = StartProgram();
    testsupport::ScreenRect icon;
    ASSERT_TRUE(OneIcon(icon));
    const std::string about = std::to_string(kAboutDialog);
    const std::string box = std::to_string(kMessageBox);

    ASSERT_TRUE(OpenMenu(icon));
    ChooseByKeys("a");
    ASSERT_TRUE(Eventually({"dialog", about}));
    std::string text;
    Probe({"text", about, "1009"}, &text);
    EXPECT_EQ(text,
              "Velumin Version1.00\r\n(C) The Velumin developers\r\n\r\n"
              "http://velumin.example/hw/");

    ASSERT_TRUE(ProbeSays({"click", about, "1007"}));
    ASSERT_TRUE(Eventually({"dialog", box}));
    ASSERT_TRUE(ProbeSays({"answer", "no"}));
    ASSERT_TRUE(EventuallyNot({"dialog", box}));
    EXPECT_TRUE(ProbeSays({"dialog", about})) << "the About dialog stays open";

    ASSERT_TRUE(ProbeSays({"click", about, "1007"}));
    ASSERT_TRUE(Eventually({"dialog", box}));
    ASSERT_TRUE(ProbeSays({"answer", "yes"}));
    ASSERT_TRUE(testsupport::WaitFor([&] { return fs::exists(m_dir / "opened"); }, 60s))
        << "the page never reached the desktop's opener";
    EXPECT_TRUE(ProbeSays({"dialog", about})) << "the About dialog stays open";
    ASSERT_TRUE(ProbeSays({"click", about, "1"}));
    ASSERT_TRUE(EventuallyNot({"dialog", about}));

    ASSERT_TRUE(ProbeSays({"close"}));
    ASSERT_TRUE(EndsWithin(program, 30s));
    EXPECT_EQ(ReadFile(m_dir / "opened"), kPageUrl + "\n") << "handed over once, unchanged";
}

}  // namespace

namespace {

// Commands are handled in the order chosen: once a later one has shown its window,
// the earlier one has been handled.
TEST_F(VeluminWine, OpenSettingsAndExitQuestionAreNotEnteredTwiceWhileAboutStillOpens) {
    StartProgram();
    testsupport::ScreenRect icon;
    ASSERT_TRUE(OneIcon(icon));
    const std::string settings = std::to_string(kSettingsDialog);
    const std::string about = std::to_string(kAboutDialog);
    const std::string box = std::to_string(kMessageBox);
    std::string count;

    ASSERT_TRUE(OpenMenu(icon));
    ChooseByKeys("s");
    ASSERT_TRUE(Eventually({"dialog", settings}));
    ASSERT_TRUE(OpenMenu(icon));
    ChooseByKeys("s");
    ASSERT_TRUE(OpenMenu(icon));
    ChooseByKeys("a");
    ASSERT_TRUE(Eventually({"dialog", about}));
    Probe({"count", settings}, &count);
    EXPECT_EQ(count, "1");
    ASSERT_TRUE(ProbeSays({"click", about, "1"}));
    ASSERT_TRUE(EventuallyNot({"dialog", about}));
    ASSERT_TRUE(ProbeSays({"click", settings, "2"}));
    ASSERT_TRUE(EventuallyNot({"dialog", settings}));

    ASSERT_TRUE(OpenMenu(icon));
    ChooseByKeys("x");
    ASSERT_TRUE(Eventually({"dialog", box}));
    ASSERT_TRUE(OpenMenu(icon));
    ChooseByKeys("x");
    ASSERT_TRUE(OpenMenu(icon));
    ChooseByKeys("a");
    ASSERT_TRUE(Eventually({"dialog", about}));
    Probe({"count", box}, &count);
    EXPECT_EQ(count, "1");
    ASSERT_TRUE(ProbeSays({"answer", "no"}));
    ASSERT_TRUE(EventuallyNot({"dialog", box}));
    ASSERT_TRUE(ProbeSays({"click", about, "1"}));
    ASSERT_TRUE(EventuallyNot({"dialog", about}));
    EXPECT_TRUE(ProbeSays({"host"})) << "Exit answered No keeps the program";
}

}  // namespace

namespace {

// Wine reads the interface counters in its device service, outside any network
// namespace of ours: the traffic is the host's loopback, flowing until the flash is seen.
TEST_F(VeluminWine, LoopbackTrafficFlashesTheIcon) {
    StartProgram();
    testsupport::ScreenRect icon;
    ASSERT_TRUE(OneIcon(icon));
    const int sender = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(sender, 0);
    sockaddr_in loopback{};
    loopback.sin_family = AF_INET;
    loopback.sin_port = htons(9);  // discard: nobody needs to listen
    loopback.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const char datagram[512] = {};
    std::string picture;
    const bool flashed = testsupport::WaitFor(
        [&] {
            sendto(sender, datagram, sizeof(datagram), 0,
                   reinterpret_cast<const sockaddr*>(&loopback), sizeof(loopback));
            picture = m_tray->ShownLampPicture();
            return picture == "Both" || picture == "Receive" || picture == "Send";
        },
        30s);
    close(sender);
    EXPECT_TRUE(flashed) << "the tray last showed " << picture;
}

}  // namespace

namespace {

// Exit answered Yes while a dialog is open ends that dialog as cancelled and the program.
TEST_F(VeluminWine, ExitWhileSettingsIsOpenEndsBothWithoutStoringTheDialog) {
    const pid_t program = StartProgram();
    testsupport::ScreenRect icon;
    ASSERT_TRUE(OneIcon(icon));
    const std::string settings = std::to_string(kSettingsDialog);
    ASSERT_TRUE(OpenMenu(icon));
    ChooseByKeys("s");
    ASSERT_TRUE(Eventually({"dialog", settings}));
    ASSERT_TRUE(ProbeSays({"click", settings, "1012"}));
    ASSERT_TRUE(Eventually({"checked", settings, "1012"}));

    ASSERT_TRUE(ExitAnswered(icon, "yes"));
    ASSERT_TRUE(EndsWithin(program, 30s));
    EXPECT_TRUE(NoIcon());
    EXPECT_EQ(IniValue(Ini(), "UseReceiveLed"), "0") << "the open dialog was stored";
}

}  // namespace

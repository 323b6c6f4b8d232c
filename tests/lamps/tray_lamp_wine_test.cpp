// The Windows build's tray icon under Wine: a probe program of that build adds
// the icon and switches it on command, Wine's shell docks it into trayer on a
// virtual desktop, and the test watches the pixels there.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "support/tray_area_linux.h"
#include "support/virtual_desktop_linux.h"
#include "support/wine_shell_linux.h"

namespace {

const std::string kWindowsBuild = VELUMIN_WINDOWS_BUILD_DIR;
const std::string kProbe = kWindowsBuild + "/tests/lamps/velumin_tray_probe.exe";
const std::string kWinePrefix = kWindowsBuild + "/wineprefix";
const std::string kWineRun = std::string(VELUMIN_SOURCE_DIR) + "/scripts/wine-run.sh";

std::vector<std::string> WineEnvironment(const testsupport::VirtualDesktop& desktop) {
    return {desktop.DisplayEnv(), "WINEPREFIX=" + kWinePrefix};
}

// The probe's host role, driven line by line through its standard streams.
class WineProbe {
  public:
    explicit WineProbe(const testsupport::VirtualDesktop& desktop) {
        int input[2];
        int output[2];
        if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) {
            return;
        }
        // A probe that dies makes a write fail rather than end the test program.
        signal(SIGPIPE, SIG_IGN);
        const std::vector<std::string> env = WineEnvironment(desktop);
        m_pid = fork();
        if (m_pid == 0) {
            dup2(input[0], 0);
            dup2(output[1], 1);
            const int devnull = open("/dev/null", O_WRONLY);
            dup2(devnull, 2);
            for (int fd = 3; fd < 256; ++fd) {
                close(fd);
            }
            for (const std::string& assignment : env) {
                putenv(const_cast<char*>(assignment.c_str()));
            }
            execl(kWineRun.c_str(), kWineRun.c_str(), kProbe.c_str(), nullptr);
            _exit(127);
        }
        close(input[0]);
        close(output[1]);
        m_toProbe = input[1];
        m_fromProbe = output[0];
    }
    ~WineProbe() {
        if (m_toProbe >= 0) {
            close(m_toProbe);  // end of input: the probe quits
        }
        if (m_pid > 0 &&
            !testsupport::WaitFor([this] { return waitpid(m_pid, nullptr, WNOHANG) != 0; })) {
            testsupport::StopProcess(m_pid);
        }
        if (m_fromProbe >= 0) {
            close(m_fromProbe);
        }
    }
    WineProbe(const WineProbe&) = delete;
    WineProbe& operator=(const WineProbe&) = delete;

    bool Ready() { return m_pid > 0 && ReadLine() == "ready"; }

    // Sends a command and waits for the probe to have carried it out.
    ::testing::AssertionResult Run(const std::string& command) {
        const std::string line = command + "\n";
        if (write(m_toProbe, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
            return ::testing::AssertionFailure() << "the probe is gone";
        }
        const std::string reply = ReadLine();
        if (reply == "done " + command) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << command << " answered with '" << reply << "'";
    }

  private:
    // A reply line, or "" when the probe ends or says nothing for long.
    std::string ReadLine() {
        std::string line;
        char c = 0;
        pollfd readable{m_fromProbe, POLLIN, 0};
        while (poll(&readable, 1, 60000) == 1 && read(m_fromProbe, &c, 1) == 1) {
            if (c == '\n') {
                return line;
            }
            if (c != '\r') {  // the probe's C runtime writes text lines
                line += c;
            }
        }
        return line;
    }

    pid_t m_pid = -1;
    int m_toProbe = -1;
    int m_fromProbe = -1;
};

class TrayLampWine : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::filesystem::exists(kProbe)) {
            GTEST_SKIP() << kProbe << " is missing: build the windows preset first "
                         << "(VELUMIN_WINDOWS_BUILD_DIR names another tree)";
        }
        ASSERT_TRUE(testsupport::WaitFor([] { return !testsupport::WineShellRunning(kWinePrefix); },
                                         std::chrono::seconds(30)))
            << "Wine's explorer.exe of " << kWinePrefix << " from an earlier run is still alive";
        m_desktop = std::make_unique<testsupport::VirtualDesktop>(true);
        m_tray = std::make_unique<testsupport::TrayArea>(m_desktop->Display());
        m_probe = std::make_unique<WineProbe>(*m_desktop);
        ASSERT_TRUE(m_probe->Ready()) << "the probe did not start under Wine";
    }

    void TearDown() override {
        // The probe ends before its display does.
        m_probe.reset();
        m_tray.reset();
        m_desktop.reset();
    }

    ::testing::AssertionResult ShowsPicture(const std::string& expected) {
        std::string seen;
        if (testsupport::WaitFor([&] { return (seen = m_tray->ShownLampPicture()) == expected; })) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "expected " << expected << ", the tray shows " << seen;
    }

    // Runs the probe in one of its shell roles; its exit status.
    int RunShellRole(const std::string& option) {
        const pid_t pid =
            testsupport::Spawn({kWineRun, kProbe, option}, WineEnvironment(*m_desktop));
        int status = 0;
        if (!testsupport::WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; },
                                  std::chrono::seconds(60))) {
            testsupport::StopProcess(pid);
            return -1;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::unique_ptr<testsupport::VirtualDesktop> m_desktop;
    std::unique_ptr<testsupport::TrayArea> m_tray;
    std::unique_ptr<WineProbe> m_probe;
};

TEST_F(TrayLampWine, DocksShowingIdleSwitchesEveryPictureAndLeavesOnRemoval) {
    ASSERT_TRUE(m_probe->Run("add"));
    ASSERT_TRUE(ShowsPicture("Idle"));
    for (const char* state : {"receive", "send", "both", "idle"}) {
        ASSERT_TRUE(m_probe->Run(state));
        std::string expected = state;
        expected[0] = static_cast<char>(std::toupper(expected[0]));
        EXPECT_TRUE(ShowsPicture(expected));
    }
    ASSERT_TRUE(m_probe->Run("remove"));
    EXPECT_TRUE(ShowsPicture("none"));
}

TEST_F(TrayLampWine, TaskbarCreatedBringsALostIconBackWithItsPicture) {
    ASSERT_TRUE(m_probe->Run("add"));
    ASSERT_TRUE(m_probe->Run("send"));
    ASSERT_TRUE(ShowsPicture("Send"));

    // The shell loses the icon, as a crashed shell does, and announces itself.
    ASSERT_EQ(RunShellRole("--delete-icon"), 0);
    ASSERT_TRUE(ShowsPicture("none"));
    ASSERT_EQ(RunShellRole("--broadcast-taskbar-created"), 0);
    EXPECT_TRUE(ShowsPicture("Send"));
    ASSERT_TRUE(m_probe->Run("both"));
    EXPECT_TRUE(ShowsPicture("Both"));

    // Once removed, the icon stays removed: the shell knows no icon to delete.
    ASSERT_TRUE(m_probe->Run("remove"));
    ASSERT_TRUE(ShowsPicture("none"));
    ASSERT_EQ(RunShellRole("--broadcast-taskbar-created"), 0);
    EXPECT_EQ(RunShellRole("--delete-icon"), 1);
}

}  // namespace

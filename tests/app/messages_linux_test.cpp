// What the Linux program tells its user: its options and exit codes, and the one
// line on standard error for a second start, a serial port it cannot open and a
// save that fails. Each case runs in a child process whose output is kept.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/single_instance_linux.h"
#include "lamps/serial_port_linux.h"
#include "settings/settings_store.h"
#include "support/wait.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;  // the exit status; -1 when the child did not end in time
    std::string out;
    std::string err;
};

std::string ReadText(const fs::path& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

// An X display that takes connections and never answers: whoever opens it is
// seen, and would hang until the wait below gives up.
class SilentDisplay {
  public:
    SilentDisplay() {
        for (int number = 7000 + getpid() % 500; m_fd < 0 && number < 7600; ++number) {
            const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            // Xlib tries the abstract socket first.
            const std::string name = "/tmp/.X11-unix/X" + std::to_string(number);
            name.copy(address.sun_path + 1, name.size());
            const auto size =
                static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
            if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 && listen(fd, 8) == 0) {
                m_fd = fd;
                m_name = ":" + std::to_string(number);
            } else {
                close(fd);
            }
        }
    }
    ~SilentDisplay() { close(m_fd); }
    SilentDisplay(const SilentDisplay&) = delete;
    SilentDisplay& operator=(const SilentDisplay&) = delete;

    const std::string& Name() const { return m_name; }
    bool Opened() const {
        const int client = accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            close(client);
        }
        return client >= 0;
    }

  private:
    int m_fd = -1;
    std::string m_name;
};

// The strings' pointers, ending in a null pointer, for execve.
std::vector<char*> Pointers(const std::vector<std::string>& strings) {
    std::vector<char*> pointers(strings.size() + 1, nullptr);
    std::transform(strings.begin(), strings.end(), pointers.begin(),
                   [](const std::string& text) { return const_cast<char*>(text.c_str()); });
    return pointers;
}

class UserMessages : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/velumin-messages-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        fs::permissions(m_dir, fs::perms(0755));
        fs::create_directory(m_dir / "run");
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // Runs body in a child with its standard output and error in files, as the
    // unprivileged user nobody when asked; body's result is the exit status.
    Outcome InChild(const std::function<int()>& body, bool asNobody = false) {
        const pid_t pid = fork();
        if (pid == 0) {
            const int out = open((m_dir / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open((m_dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (dup2(out, STDOUT_FILENO) < 0 || dup2(err, STDERR_FILENO) < 0 ||
                (asNobody &&
                 (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))) {
                _exit(90);
            }
            _exit(body());
        }
        Outcome outcome;
        int status = 0;
        if (!testsupport::WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; })) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        } else if (WIFEXITED(status)) {
            outcome.status = WEXITSTATUS(status);
        }
        outcome.out = ReadText(m_dir / "out");
        outcome.err = ReadText(m_dir / "err");
        return outcome;
    }

    // The program, with a settings folder and a runtime folder of the test's own.
    Outcome Program(std::vector<std::string> args, const std::string& display) {
        const std::vector<std::string> env = {"HOME=" + m_dir.string(),
                                              "XDG_CONFIG_HOME=" + (m_dir / "config").string(),
                                              "XDG_RUNTIME_DIR=" + (m_dir / "run").string(),
                                              "DISPLAY=" + display, "QT_QPA_PLATFORM=xcb"};
        args.insert(args.begin(), VELUMIN_EXE);
        return InChild([&] {
            std::vector<char*> argv = Pointers(args);
            std::vector<char*> envp = Pointers(env);
            execve(VELUMIN_EXE, argv.data(), envp.data());
            return 127;
        });
    }

    fs::path m_dir;
};

TEST_F(UserMessages, OptionsAnswerWithoutTheDisplayOrTheInstanceLock) {
    const SilentDisplay display;
    ASSERT_FALSE(display.Name().empty());
    const std::string usage = "Usage: velumin";
    const std::string iniLine = "Settings file: " + (m_dir / "config/velumin/Velumin.ini").string();
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;  // the start of standard output, or of standard error
        std::string err;
    };
    const Case cases[] = {
        {{"--version"}, 0, "velumin 1.0.0.1\n", ""},
        {{"--help"}, 0, usage, ""},
        {{"-h"}, 0, usage, ""},
        // Qt's own options, with their values, are left to Qt.
        {{"-platform", "xcb", "--style=fusion", "-reverse", "--version"}, 0, "velumin", ""},
        {{"--frobnicate"}, 2, "", "velumin: unknown option --frobnicate\n" + usage},
        {{"extra"}, 2, "", "velumin: unexpected argument extra\n" + usage},
    };
    for (const Case& c : cases) {
        const Outcome outcome = Program(c.args, display.Name());
        const std::string name = c.args.front();
        EXPECT_EQ(outcome.status, c.status) << name;
        EXPECT_EQ(outcome.out.substr(0, c.out.size()), c.out) << name;
        EXPECT_EQ(outcome.err.substr(0, c.err.size()), c.err) << name;
        EXPECT_EQ(c.out.empty(), outcome.out.empty()) << name << " writes to one stream only";
        EXPECT_EQ(c.err.empty(), outcome.err.empty()) << name << ": " << outcome.err;
        // The usage names the settings file that the program really uses.
        EXPECT_EQ((c.out + c.err).find(usage) != std::string::npos,
                  (outcome.out + outcome.err).find(iniLine + "\n") != std::string::npos)
            << name;
        EXPECT_FALSE(display.Opened()) << name;
        EXPECT_TRUE(fs::is_empty(m_dir / "run")) << name << " made the lock file";
    }
}

TEST_F(UserMessages, SecondStartSaysSoInOneLineAndEndsWell) {
    CInstanceLock running;
    ASSERT_EQ(running.Acquire((m_dir / "run" / "Velumin.lock").string()),
              InstanceLockResult::Acquired);
    const Outcome outcome = Program({}, "");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err, "velumin: already running; its icon is in the system tray.\n");
    EXPECT_EQ(outcome.out, "");
}

// The serial lamp's device and the settings file, where they cannot be used: one
// line with the path and the reason, and the lamp dark or the save refused.
TEST_F(UserMessages, UnusableSerialDeviceOrSettingsFileIsNamedWithTheReason) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
    const std::string pty = ptsname(master);
    const std::string missing = (m_dir / "ttyUSB0").string();
    std::ofstream(m_dir / "file") << "not a folder";
    const fs::path ini = m_dir / "file" / "Velumin.ini";
    const auto serialLamp = [](const std::string& path) {
        return [path] { return OpenSerialDevice(path.c_str()) == 0 ? 0 : 1; };
    };
    const auto save = [&ini] {
        LampSettingsRecord settings(nullptr, nullptr);
        return SaveSettings(settings, *OpenIniStore(ini), {}) ? 1 : 0;
    };
    struct stat status {};
    ASSERT_EQ(stat(pty.c_str(), &status), 0);
    const group* ptyGroup = getgrgid(status.st_gid);
    ASSERT_NE(ptyGroup, nullptr);
    struct Case {
        std::function<int()> body;
        bool asNobody;
        std::string line;
    };
    const Case cases[] = {
        {serialLamp(missing), false,
         "cannot open the serial lamp's port " + missing + ": No such file or directory"},
        {serialLamp(pty), true,
         "cannot open the serial lamp's port " + pty +
             ": Permission denied (add the user to the device's group " + ptyGroup->gr_name +
             " then log in again)"},
        {save, false,
         "cannot save the settings to " + ini.string() +
             ": Not a directory (they apply until velumin ends)"},
    };
    for (const Case& c : cases) {
        if (c.asNobody && geteuid() != 0) {
            continue;  // without root the test cannot become another user
        }
        const Outcome outcome = InChild(c.body, c.asNobody);
        EXPECT_EQ(outcome.status, 0) << c.line << "\n1: it opened or saved after all";
        EXPECT_EQ(outcome.err, "velumin: " + c.line + "\n");
    }
    close(master);
}

}  // namespace

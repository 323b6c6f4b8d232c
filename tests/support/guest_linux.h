// The real program in the QEMU guest (tests/vm/run.sh), on a virtual desktop
// with trayer, with traffic over a veth pair between two network namespaces
// whose neighbours are fixed, so that nothing answers and each direction can
// move alone: "lamp" (the program's) only sends, "peer" only receives.
#pragma once

// GoogleTest before any X header: Xlib defines None and Bool as macros.
#include <gtest/gtest.h>

#include <sstream>

#include "support/desktop_linux.h"

namespace testsupport {

using namespace std::chrono_literals;

inline bool InGuest() {
    return ReadFile("/proc/cmdline").find("velumin.share=") != std::string::npos;
}

inline int Shell(const std::string& command) {
    return std::system(command.c_str());
}

struct Lines {
    bool dtr = false;
    bool rts = false;
    bool operator==(const Lines&) const = default;
};

// ttyS1's DTR and RTS now; nothing outside the guest, where it is not ours.
inline std::optional<Lines> ReadLines() {
    std::istringstream report(ReadFile("/proc/tty/driver/serial"));
    for (std::string line; std::getline(report, line);) {
        if (line.starts_with("1: uart:16550A") && InGuest()) {
            return Lines{line.find("DTR") != std::string::npos,
                         line.find("RTS") != std::string::npos};
        }
    }
    return std::nullopt;
}

// Datagrams every 50 ms to an address nobody has, from one namespace into the other.
struct Traffic {
    explicit Traffic(const char* from)
        : sender(Spawn({"ip", "netns", "exec", from, "bash", "-c",
                        "while :; do echo >/dev/udp/10.9.0.3/9; sleep 0.05; done"})) {}
    ~Traffic() { StopProcess(sender); }
    pid_t sender;
};

class GuestProgram : public testing::Test {
  protected:
    static void TearDownTestSuite() { desktop.reset(); }

    // New namespaces for each program: totals that start at zero, so that its
    // first poll lights nothing.
    static int MakeNetworks() {
        return Shell(
            "ip netns del lamp 2>/dev/null; ip netns del peer 2>/dev/null; set -e; for ns in lamp "
            "peer; do"
            " ip netns add $ns; ip netns exec $ns sysctl -qw net.ipv6.conf.all.disable_ipv6=1"
            " net.ipv6.conf.default.disable_ipv6=1; ip -n $ns link set lo up; done;"
            "ip link add v0 netns lamp address 02:00:00:00:00:01 type veth"
            " peer v1 netns peer address 02:00:00:00:00:02;"
            "ip -n lamp addr add 10.9.0.1/24 dev v0; ip -n lamp link set v0 up;"
            "ip -n peer addr add 10.9.0.2/24 dev v1; ip -n peer link set v1 up;"
            "ip -n lamp neigh add 10.9.0.3 lladdr 02:00:00:00:00:02 dev v0;"
            "ip -n peer neigh add 10.9.0.3 lladdr 02:00:00:00:00:01 dev v1");
    }
    // The program in the namespace "lamp", its standard error added to
    // dir/stderr; groups ("--clear-groups", "--groups=dialout") runs it as nobody.
    static pid_t Start(const std::filesystem::path& dir, const char* groups = nullptr,
                       std::vector<std::string> env = {}) {
        std::filesystem::create_directories(dir / "runtime");
        std::filesystem::permissions(dir / "runtime", std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace);
        std::vector<std::string> argv = {"ip", "netns", "exec", "lamp"};
        std::string program = VELUMIN_EXE;
        if (groups != nullptr) {
            // A copy the user can run wherever the build tree is.
            program = (dir / "velumin").string();
            std::filesystem::copy_file(VELUMIN_EXE, program,
                                       std::filesystem::copy_options::overwrite_existing);
            Shell("chown -R nobody:nogroup " + dir.string());
            argv.insert(argv.end(), {"setpriv", "--reuid=nobody", "--regid=nogroup", groups, "--"});
        }
        argv.insert(argv.end(),
                    {"sh", "-c", "exec \"$0\" 2>>\"$1\"", program, (dir / "stderr").string()});
        env.insert(env.end(),
                   {desktop->DisplayEnv(), "XDG_CONFIG_HOME=" + (dir / "config").string(),
                    "XDG_RUNTIME_DIR=" + (dir / "runtime").string(), "HOME=" + dir.string(),
                    "QT_QPA_PLATFORM=xcb", "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent"});
        return Spawn(argv, env);
    }
    // A command from the tray menu by its key, as a user chooses it, and keys
    // typed into the window it opens, which then closes.
    static void Choose(const char* command, const char* title, const std::string& keys) {
        XDesktop screen(desktop->Display());
        ASSERT_TRUE(screen.OpenTrayMenu("velumin"));
        desktop->Run(std::string("xdotool key ") + command);
        // The focus fails on a window that is unmapped again as it settles.
        ASSERT_TRUE(WaitFor(
            [&] {
                const std::vector<XWindow> windows = screen.Windows("velumin", title);
                return windows.size() == 1 && !windows[0].popup &&
                       desktop->Run("xdotool windowfocus --sync " + windows[0].id +
                                    " key --delay 40 " + keys + " 2>/dev/null") == 0;
            },
            30s));
        EXPECT_TRUE(WaitFor([&] { return screen.Windows("velumin", title).empty(); }, 30s));
    }

    static inline std::unique_ptr<VirtualDesktop> desktop;
};

}  // namespace testsupport

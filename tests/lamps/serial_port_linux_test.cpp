// The serial lamp of the real program on a real UART: the guest's ttyS1, a
// 16550A under the kernel's 8250 driver, whose modem lines are read from the
// kernel's report as a lamp on them would see them. Runs only in the QEMU
// guest (tests/vm/run.sh).
#include "support/guest_linux.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

using namespace testsupport;

// The flags of the program's descriptor of ttyS1, 0 when it has none. Found by
// device, since the guest reads paths from the root it was started in.
long PortFlags(pid_t program) {
    struct stat port {};
    struct stat file {};
    const fs::path proc = "/proc/" + std::to_string(program);
    std::error_code error;
    for (const auto& fd : fs::directory_iterator(proc / "fd", error)) {
        if (stat(fd.path().c_str(), &file) == 0 && stat("/dev/ttyS1", &port) == 0 &&
            S_ISCHR(file.st_mode) && file.st_rdev == port.st_rdev) {
            const std::string info = ReadFile(proc / "fdinfo" / fd.path().filename());
            return std::stol(info.substr(info.find("flags:") + 6), nullptr, 8);
        }
    }
    return 0;
}

struct Row {
    const char* name;
    std::string ini;             // UseSerialLed, SerialPortNum, LedInversion
    std::string said{};          // the one line on standard error
    std::string settingsKeys{};  // typed into Settings from Cancel, whose OK re-applies the lamp
    std::string changed{};       // what those keys change, as saved at the end
    bool asNobody = false;       // a user outside the device's group
    bool held = false;           // another program has the port locked until Settings
    bool flashes = false;        // the port opens: traffic lights it
};

class SerialLampOnAUart : public GuestProgram {
  protected:
    static void SetUpTestSuite() {
        if (ReadLines()) {
            // As udev gives it on Debian.
            Shell("chgrp dialout /dev/ttyS1 && chmod 0660 /dev/ttyS1");
            desktop = std::make_unique<VirtualDesktop>(true);
        }
    }
    void SetUp() override {
        if (!desktop) {
            GTEST_SKIP() << "needs the guest's UART: run it through tests/vm/run.sh";
        }
    }

    // Every change of the lines, as the conditions below sample them.
    Lines Sample() {
        const Lines now = ReadLines().value_or(Lines{});
        if (seen.empty() || !(seen.back() == now)) {
            seen.push_back(now);
        }
        return now;
    }

    std::vector<Lines> seen;
};

TEST_F(SerialLampOnAUart, FollowsTrafficAtItsLevelsAndSaysWhyWhenItCannotOpen) {
    const std::string cannot = "velumin: cannot open the serial lamp's port ";
    // Cancel has the focus; with the key lists greyed, Tab goes on to OK, the
    // two boxes, the port list, the serial box and the inversion box.
    const Row rows[] = {
        {"any inversion but 1 is normal", "1 14 5", "", "", "", false, false, true},
        {"inverted, then normal after OK", "1 14 1", "", "Tab Tab Tab Tab Tab Tab space Return",
         "LedInversion=0", false, false, true},
        {"device missing", "1 1 0", cannot + "/dev/ttyUSB0: No such file or directory"},
        {"no device at all", "1 21 0",
         "velumin: the serial lamp's port 21 names no device; choose one in Settings."},
        {"held by another program until OK", "1 14 1",
         cannot + "/dev/ttyS1: another program is using it", "Tab Return", "", false, true},
        {"user outside the device's group", "1 14 0",
         cannot + "/dev/ttyS1: Permission denied (add the user to the device's group dialout "
                  "then log in again)",
         "", "", true},
        {"only 1 is on, until OK", "2 14 0", "", "Tab Tab Tab Tab Tab space Return",
         "UseSerialLed=1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(MakeNetworks(), 0);
        // Parameters the lamp must set, and some it must keep.
        ASSERT_EQ(Shell("stty -F /dev/ttyS1 19200 cs7 cstopb parenb -clocal hupcl echo"), 0);
        const TempDir dir;
        fs::create_directories(dir / "config/velumin");
        std::istringstream values(row.ini);
        std::string use, port, inversion;
        values >> use >> port >> inversion;
        const std::string ini =
            "[Settings]\nUseKeybordLed=0\nUseReceiveLed=0\nUseSendLed=0\n"
            "ReceiveLed=0\nSendLed=2\nSerialPortNum=" +
            port + "\nUseSerialLed=" + use + "\nLedInversion=" + inversion + "\n";
        WriteFile(dir / "config/velumin/Velumin.ini", ini);
        // A terminal program that locks the device while it has it open.
        const pid_t holder =
            row.held ? Spawn({"bash", "-c", "exec 3</dev/ttyS1 && flock 3 && exec sleep infinity"})
                     : -1;
        ASSERT_TRUE(WaitFor([&] { return !row.held || Shell("flock -n /dev/ttyS1 true") != 0; }));
        const pid_t program = Start(dir.path(), row.asNobody ? "--clear-groups" : nullptr);
        const auto errors = [&] { return ReadFile(dir / "stderr"); };
        const bool inverted = inversion == "1";
        const Lines idle{inverted, inverted};

        if (row.flashes) {
            ASSERT_TRUE(WaitFor([&] { return PortFlags(program) != 0; }, 60s)) << errors();
            // Not handed to the programs it starts, and no wait for carrier.
            EXPECT_EQ(PortFlags(program) & (O_CLOEXEC | O_NONBLOCK), O_CLOEXEC | O_NONBLOCK);
            EXPECT_TRUE(WaitFor([&] { return Sample() == idle; })) << "not idle at start";
            for (const auto& [from, lit] : {std::pair{"peer", Lines{true, false}},
                                            {"lamp", Lines{false, true}},
                                            {"both", Lines{true, true}}}) {
                SCOPED_TRACE(from);
                seen = {Sample()};
                std::optional<Traffic> received, sent;
                if (lit.dtr) {
                    received.emplace("peer");
                }
                if (lit.rts) {
                    sent.emplace("lamp");
                }
                // Lit as the traffic asks, and back to idle after each flash.
                const Lines active{lit.dtr != inverted, lit.rts != inverted};
                EXPECT_TRUE(WaitFor(
                    [&] {
                        Sample();
                        return std::count(seen.begin(), seen.end(), active) >= 2 &&
                               std::count(seen.begin(), seen.end(), idle) >= 3;
                    },
                    60s))
                    << "no flash at the traffic's lines";
                received.reset();
                sent.reset();
                EXPECT_TRUE(WaitFor([&] { return Sample() == idle; })) << "not idle after";
            }
            // Kept from others while in use: from root by its lock, from a user
            // of the device's group by exclusive use as well.
            EXPECT_NE(Shell("flock -n /dev/ttyS1 true"), 0);
            EXPECT_NE(Shell("setpriv --reuid=nobody --regid=dialout --clear-groups -- sh -c "
                            "': </dev/ttyS1' 2>/dev/null"),
                      0);
        }
        if (!row.said.empty()) {
            EXPECT_TRUE(WaitFor([&] { return errors().find(row.said) != std::string::npos; }, 60s))
                << errors();
            EXPECT_TRUE(WaitFor([&] { return PortFlags(program) == 0; })) << "the port kept";
        }
        if (!row.settingsKeys.empty()) {
            StopProcess(holder);
            Choose("s", "設定", row.settingsKeys);
            const bool nowInverted = inverted && row.changed != "LedInversion=0";
            EXPECT_TRUE(WaitFor([&] { return PortFlags(program) != 0; }, 30s)) << "not reopened";
            EXPECT_TRUE(WaitFor([&] {
                return Sample() == Lines{nowInverted, nowInverted};
            })) << "not idle after OK";
        }

        // However the row ends: one line said at most, the port given back with
        // its lines low and its parameters set, and the settings kept.
        EXPECT_EQ(ExitStatus(program, true), 0);
        StopProcess(holder);
        EXPECT_EQ(errors(), row.said.empty() ? "" : row.said + "\n");
        EXPECT_TRUE(Sample() == Lines{}) << "the lamp stays lit after the end";
        if (row.flashes || !row.settingsKeys.empty()) {
            ASSERT_EQ(Shell("stty -F /dev/ttyS1 -a >" + (dir / "stty").string()), 0);
            std::string stty = " " + ReadFile(dir / "stty") + " ";
            std::replace_if(
                stty.begin(), stty.end(), [](char c) { return c == ';' || c == '\n'; }, ' ');
            for (const char* set :
                 {" 9600 ", " cs8 ", " -parenb ", " -cstopb ", " clocal ", " hupcl ", " echo "}) {
                EXPECT_NE(stty.find(set), std::string::npos) << set << " not in" << stty;
            }
        }
        std::string saved = ini;
        if (!row.changed.empty()) {
            const std::size_t at = saved.find(row.changed.substr(0, row.changed.find('=') + 1));
            saved.replace(at, saved.find('\n', at) - at, row.changed);
        }
        EXPECT_EQ(ReadFile(dir / "config/velumin/Velumin.ini"), saved);
    }
}

}  // namespace

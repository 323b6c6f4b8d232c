// The keyboard lamps of the real program in a Wayland session: weston on the
// guest's display, the guest's PS/2 keyboard with its LEDs, and the keyboard
// the program makes through uinput. Runs only in the QEMU guest
// (tests/vm/run.sh). The compositor's locks are read from what it tells its
// focused client (weston-eventdemo), in weston-debug's protocol log; the
// user's keys are pressed on the guest's keyboard through QEMU's monitor.
#include "support/guest_linux.h"

#include <regex>

namespace fs = std::filesystem;

namespace {

using namespace testsupport;

// CapsLock, ScrollLock and NumLock, in the order of the lamps' indices.
using Keys = std::array<bool, 3>;
const char* const kKeys[] = {"caps_lock", "scroll_lock", "num_lock"};  // as QEMU names them
const fs::path kSession = "/run/weston";
// What weston logs as it takes the program's keyboard.
const char* const kTaken = "Velumin lock keys: device is a keyboard";

Keys Leds() {
    Keys on{};
    for (std::size_t key = 0; key < on.size(); ++key) {
        std::string led = kKeys[key];
        std::erase(led, '_');
        on[key] = ReadFile("/sys/class/leds/input0::" + led + "/brightness") == "1\n";
    }
    return on;
}

// The locks weston told its focused client, in order: Lock and Mod2 in the
// default keymap, where ScrollLock locks nothing.
std::vector<Keys> Locks() {
    static const std::regex modifiers(R"(wl_keyboard@\d+\.modifiers\(\d+, \d+, \d+, (\d+),)");
    const std::string log = ReadFile(kSession / "proto");
    std::vector<Keys> seen;
    for (std::sregex_iterator at(log.begin(), log.end(), modifiers), end; at != end; ++at) {
        const unsigned long locked = std::stoul((*at)[1]);
        seen.push_back({(locked & 2) != 0, false, (locked & 16) != 0});
    }
    return seen;
}

int Flips(const std::vector<Keys>& seen, int key) {
    int flips = 0;
    for (std::size_t i = 1; i < seen.size(); ++i) {
        flips += seen[i][key] != seen[i - 1][key] ? 1 : 0;
    }
    return flips;
}

struct Row {
    const char* name;
    int receive, send;          // ReceiveLed and SendLed
    std::string said;           // its lines on standard error
    bool asNobody = false;      // a user without /dev/uinput but in the port's group
    bool exitFromMenu = false;  // otherwise SIGTERM
    bool meanwhile = false;     // the user switches NumLock and starts a second instance
};

class KeyboardLampsOnWayland : public GuestProgram {
  protected:
    static void SetUpTestSuite() {
        if (!InGuest()) {
            return;
        }
        // udev tells weston's libinput which devices are keyboards.
        ASSERT_EQ(Shell("modprobe -a bochs uinput virtio_console && export SYSTEMD_IGNORE_CHROOT=1"
                        " && /lib/systemd/systemd-udevd --daemon && udevadm trigger --action=add"
                        " && udevadm settle && chgrp dialout /dev/ttyS1 && chmod 0660 /dev/ttyS1"),
                  0);
        fs::create_directories(kSession);
        fs::permissions(kSession, fs::perms::owner_all, fs::perm_options::replace);
        const std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + kSession.string(),
                                              "WAYLAND_DISPLAY=wl-guest"};
        session.push_back(Spawn({"weston", "--backend=drm-backend.so", "--tty=2", "--use-pixman",
                                 "--shell=kiosk-shell.so", "--socket=wl-guest", "--idle-time=0",
                                 "--debug", "--log=" + (kSession / "log").string()},
                                env));
        ASSERT_TRUE(WaitFor([] { return fs::exists(kSession / "wl-guest"); }, 60s));
        session.push_back(
            Spawn({"weston-debug", "-o", (kSession / "proto").string(), "proto"}, env));
        session.push_back(Spawn({"weston-eventdemo"}, env));
        // It has the keyboard once it is told the locks.
        ASSERT_TRUE(WaitFor([] { return !Locks().empty(); }, 60s));
        monitor.open("/dev/virtio-ports/velumin.monitor");
        desktop = std::make_unique<VirtualDesktop>(true);
    }
    static void TearDownTestSuite() {
        for (auto pid = session.rbegin(); pid != session.rend(); ++pid) {
            StopProcess(*pid);
        }
        GuestProgram::TearDownTestSuite();
    }
    void SetUp() override {
        if (!desktop) {
            GTEST_SKIP()
                << "needs the guest's keyboard and display: run it through tests/vm/run.sh";
        }
    }

    // CapsLock or NumLock as the user presses it on the keyboard; returns once
    // its LED and the focused client show it.
    static void Press(int key) {
        const bool was = Leds()[key];
        monitor << "sendkey " << kKeys[key] << std::endl;
        EXPECT_TRUE(WaitFor([&] { return Leds()[key] != was && Locks().back()[key] != was; }, 60s));
    }

    static inline std::vector<pid_t> session;
    static inline std::ofstream monitor;
};

TEST_F(KeyboardLampsOnWayland, TrafficFlipsTheLocksAndEveryWayOutGivesThemBack) {
    const Row rows[] = {
        {"CapsLock and NumLock, then Exit", 0, 2, "", false, true},
        {"ScrollLock, which locks nothing; the user's NumLock, a second instance, SIGTERM", 0, 1,
         "velumin: the session's keymap gives ScrollLock no lock: its lamp stays dark\n"
         "velumin: already running; its icon is in the system tray.\n",
         false, false, true},
        {"a user without /dev/uinput", 0, 2,
         "velumin: the keyboard lamps stay dark in this Wayland session: /dev/uinput: Permission "
         "denied (sudo velumin-uinput-access on grants the access); the tray icon and the serial "
         "lamp still flash\n",
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(MakeNetworks(), 0);
        for (const int key : {0, 2}) {
            if (Leds()[key] != (key == 0)) {
                Press(key);
            }
        }
        const Keys start = {true, false, false};
        ASSERT_EQ(Leds(), start);
        const TempDir dir;
        fs::create_directories(dir / "config/velumin");
        WriteFile(dir / "config/velumin/Velumin.ini",
                  "[Settings]\nUseKeybordLed=1\nUseReceiveLed=1\nUseSendLed=1\nReceiveLed=" +
                      std::to_string(row.receive) + "\nSendLed=" + std::to_string(row.send) +
                      "\nSerialPortNum=14\nUseSerialLed=" + (row.asNobody ? "1" : "0") + "\n");
        const std::size_t locksBefore = Locks().size();
        const int keyboards = CountOf(ReadFile(kSession / "log"), kTaken);
        const std::vector<std::string> wayland = {"WAYLAND_DISPLAY=" +
                                                  (kSession / "wl-guest").string()};
        const pid_t program =
            Start(dir.path(), row.asNobody ? "--groups=dialout" : nullptr, wayland);
        const auto errors = [&] { return ReadFile(dir / "stderr"); };
        XDesktop screen(desktop->Display());
        std::vector<Keys> leds = {start};
        bool trayLit = false;
        bool serialLit = false;
        {
            const Traffic received("peer");
            const Traffic sent("lamp");
            EXPECT_TRUE(WaitFor(
                [&] {
                    if (leds.back() != Leds()) {
                        leds.push_back(Leds());
                    }
                    // A picture a while: only where the keys cannot flash.
                    trayLit = trayLit || (row.asNobody && Lit(screen.LampPicture()));
                    serialLit = serialLit || ReadLines() != Lines{};
                    // ScrollLock's lamp says instead that it cannot flash.
                    return row.asNobody ? trayLit && serialLit
                                        : Flips(leds, row.receive) >= 2 &&
                                              (row.send == 1 ? errors().find("ScrollLock") !=
                                                                   std::string::npos
                                                             : Flips(leds, row.send) >= 2);
                },
                60s))
                << errors() << "tray lit: " << trayLit << ", serial lamp lit: " << serialLit;
            if (row.meanwhile) {
                Press(2);
                EXPECT_EQ(ExitStatus(Start(dir.path(), nullptr, wayland)), 0);
            }
        }
        if (row.exitFromMenu) {
            Choose("x", "Velumin", "Return");
        }
        EXPECT_EQ(ExitStatus(program, !row.exitFromMenu), 0);
        EXPECT_TRUE(WaitFor([&] { return Leds() == start && Locks().back() == start; }, 60s))
            << "not given back";
        // The compositor's locks went with the LEDs.
        std::vector<Keys> locks = Locks();
        locks.erase(locks.begin(), locks.begin() + static_cast<long>(locksBefore) - 1);
        for (const int key : {row.receive, row.send}) {
            EXPECT_EQ(Flips(locks, key) >= 2, !row.asNobody && key != 1) << kKeys[key];
        }
        EXPECT_EQ(errors(), row.said);
        EXPECT_EQ(Flips(leds, 1), 0) << "ScrollLock lit";
        EXPECT_EQ(CountOf(ReadFile(kSession / "log"), kTaken) - keyboards, row.asNobody ? 0 : 1);
        // The X server stands for XWayland, whose locks are not the keyboard's.
        EXPECT_FALSE(screen.Led("Caps Lock") || screen.Led("Num Lock"));
    }
}

}  // namespace

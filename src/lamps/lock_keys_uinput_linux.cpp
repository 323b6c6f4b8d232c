// Flips the lock keys of a Wayland session by pressing them on a virtual
// keyboard of the program's own, and reads them from the LEDs the compositor
// sets on it. The keyboard is made at the first flip only: making one darkens
// every keyboard's LEDs for a moment, and the compositor needs a while to take
// it, so a program whose keyboard lamps stay off never makes one.
#include "lamps/lock_keys_uinput_linux.h"

#include <fcntl.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

namespace {

using namespace std::chrono_literals;
using std::chrono::steady_clock;

// The lock keys as the kernel names them, in the order of kLockKeys.
struct EvdevKey {
    unsigned short key;  // the evdev codes
    unsigned short led;
    const char* ledName;  // the end of its LEDs' names under /sys/class/leds
};

constexpr std::array<EvdevKey, kLockKeys.size()> kEvdevKeys{{
    {KEY_CAPSLOCK, LED_CAPSL, "::capslock"},
    {KEY_SCROLLLOCK, LED_SCROLLL, "::scrolllock"},
    {KEY_NUMLOCK, LED_NUML, "::numlock"},
}};
constexpr std::size_t kNoKey = kEvdevKeys.size();

// A compositor that has the keyboard open answers a press within milliseconds.
constexpr auto kAnswerTime = 200ms;
constexpr int kPresses = 3;
// A new keyboard is opened some time after it appears (weston: within a few
// hundred milliseconds, sway: up to two seconds); a press before that is lost.
constexpr auto kTakeTime = 2500ms;

std::size_t IndexOf(int virtualKey) {
    const int index = LockKeyIndex(virtualKey);
    return index < 0 ? kNoKey : static_cast<std::size_t>(index);
}

// True when any keyboard shows the LED lit; the compositor sets them all alike.
bool AnyLedLit(const std::string& folder, std::string_view ledName) {
    std::error_code error;
    for (const auto& led : std::filesystem::directory_iterator(folder, error)) {
        int brightness = 0;
        if (led.path().filename().string().ends_with(ledName) &&
            std::ifstream(led.path() / "brightness") >> brightness && brightness > 0) {
            return true;
        }
    }
    return false;
}

input_event Event(unsigned short type, unsigned short code, int value) {
    input_event event{};
    event.type = type;
    event.code = code;
    event.value = value;
    return event;
}

}  // namespace

UinputLockKeyDriver::UinputLockKeyDriver(const char* uinputPath, std::string ledFolder,
                                         Notice notice)
    : m_ledFolder(std::move(ledFolder)), m_notice(std::move(notice)) {
    m_fd = open(uinputPath, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    int version = 0;
    if (m_fd < 0 || ioctl(m_fd, UI_GET_VERSION, &version) != 0) {
        m_openError = errno;
        if (m_fd >= 0) {
            close(m_fd);
            m_fd = -1;
        }
    }
}

UinputLockKeyDriver::~UinputLockKeyDriver() {
    if (m_fd >= 0) {
        close(m_fd);
    }
}

int UinputLockKeyDriver::GetLockState(int virtualKey) {
    const std::lock_guard<std::mutex> hold(m_mutex);
    const std::size_t i = IndexOf(virtualKey);
    if (m_fd < 0 || i == kNoKey) {
        return 0;
    }
    if (!m_made) {
        // Afresh each time, so that a key the user switches is seen.
        return AnyLedLit(m_ledFolder, kEvdevKeys[i].ledName) ? 1 : 0;
    }
    ReadLeds(0ms);
    return m_locks[i] ? 1 : 0;
}

void UinputLockKeyDriver::ToggleLock(int virtualKey) {
    const std::lock_guard<std::mutex> hold(m_mutex);
    const std::size_t i = IndexOf(virtualKey);
    if (m_fd < 0 || i == kNoKey || m_dark[i] || (!m_made && !MakeKeyboard())) {
        return;
    }
    WaitUntilTaken();
    ReadLeds(0ms);
    const bool wanted = !m_locks[i];
    for (int press = 0; press < kPresses; ++press) {
        Press(kEvdevKeys[i].key);
        const auto end = steady_clock::now() + kAnswerTime;
        for (auto now = steady_clock::now(); m_locks[i] != wanted && now < end;
             now = steady_clock::now()) {
            ReadLeds(std::chrono::ceil<std::chrono::milliseconds>(end - now));
        }
        if (m_locks[i] == wanted) {
            return;
        }
    }
    GiveUp(i);
}

bool UinputLockKeyDriver::MakeKeyboard() {
    // The locks before the keyboard exists, from the LEDs of the others.
    for (std::size_t i = 0; i < kNoKey; ++i) {
        m_locks[i] = AnyLedLit(m_ledFolder, kEvdevKeys[i].ledName);
    }
    bool made = ioctl(m_fd, UI_SET_EVBIT, EV_KEY) == 0 && ioctl(m_fd, UI_SET_EVBIT, EV_LED) == 0;
    for (const EvdevKey& key : kEvdevKeys) {
        made = made && ioctl(m_fd, UI_SET_KEYBIT, key.key) == 0 &&
               ioctl(m_fd, UI_SET_LEDBIT, key.led) == 0;
    }
    uinput_setup setup{};
    setup.id.bustype = BUS_VIRTUAL;
    std::strncpy(setup.name, "Velumin lock keys", sizeof setup.name - 1);
    made = made && ioctl(m_fd, UI_DEV_SETUP, &setup) == 0 && ioctl(m_fd, UI_DEV_CREATE) == 0;
    if (!made) {
        m_dark.fill(true);
        m_notice(std::string("cannot make a virtual keyboard through uinput: ") +
                 std::strerror(errno) + "; the keyboard lamps stay dark");
        return false;
    }
    m_made = true;
    m_madeAt = steady_clock::now();
    // Its own LEDs the opposite of the locks: whatever the compositor writes
    // as it opens the keyboard then changes them, which says it has taken it.
    std::array<bool, 3> opposite{};
    for (std::size_t i = 0; i < kNoKey; ++i) {
        opposite[i] = !m_locks[i];
    }
    WriteLeds(opposite);
    return true;
}

void UinputLockKeyDriver::WaitUntilTaken() {
    const auto end = m_madeAt + kTakeTime;
    for (auto now = steady_clock::now(); !m_taken && now < end; now = steady_clock::now()) {
        ReadLeds(std::chrono::ceil<std::chrono::milliseconds>(end - now));
    }
    // A lock switched since the LEDs were read keeps its LED unchanged: what
    // has come by now is all the compositor wrote.
    if (!m_taken && std::any_of(m_heard.begin(), m_heard.end(), [](bool heard) { return heard; })) {
        m_taken = true;
        m_locks = m_leds;
    }
}

void UinputLockKeyDriver::Press(unsigned short key) {
    const input_event events[] = {Event(EV_KEY, key, 1), Event(EV_SYN, SYN_REPORT, 0),
                                  Event(EV_KEY, key, 0), Event(EV_SYN, SYN_REPORT, 0)};
    // A press that does not get through shows no LED change, and is sent again.
    [[maybe_unused]] const ssize_t written = write(m_fd, events, sizeof events);
}

void UinputLockKeyDriver::ReadLeds(std::chrono::milliseconds timeout) {
    pollfd ready{m_fd, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(timeout.count())) <= 0) {
        return;
    }
    bool written = false;
    input_event events[16];
    for (ssize_t bytes; (bytes = read(m_fd, events, sizeof events)) > 0;) {
        for (std::size_t n = 0; n < static_cast<std::size_t>(bytes) / sizeof events[0]; ++n) {
            for (std::size_t i = 0; i < kNoKey; ++i) {
                if (events[n].type == EV_LED && events[n].code == kEvdevKeys[i].led) {
                    m_leds[i] = events[n].value != 0;
                    m_heard[i] = true;
                    written = true;
                }
            }
        }
    }
    // The compositor sets all three LEDs at once, to its locks, and the kernel
    // passes on those that change; the first time, each of them changes, and
    // a read may come between them.
    const bool all = std::all_of(m_heard.begin(), m_heard.end(), [](bool heard) { return heard; });
    if (written && (m_taken || all || steady_clock::now() >= m_madeAt + kTakeTime)) {
        m_taken = true;
        m_locks = m_leds;
    }
}

void UinputLockKeyDriver::WriteLeds(const std::array<bool, 3>& on) {
    input_event events[kNoKey + 1];
    for (std::size_t i = 0; i < kNoKey; ++i) {
        events[i] = Event(EV_LED, kEvdevKeys[i].led, on[i] ? 1 : 0);
    }
    events[kNoKey] = Event(EV_SYN, SYN_REPORT, 0);
    [[maybe_unused]] const ssize_t written = write(m_fd, events, sizeof events);
    m_leds = on;
    // The keyboard hears its own LEDs change at once: that is not the compositor.
    input_event echo[16];
    while (read(m_fd, echo, sizeof echo) > 0) {
    }
}

void UinputLockKeyDriver::GiveUp(std::size_t key) {
    if (!m_taken) {
        m_dark.fill(true);
        m_notice(
            "the compositor takes no keys from the program's virtual keyboard: the keyboard "
            "lamps stay dark");
        return;
    }
    m_dark[key] = true;
    m_notice(std::string("the session's keymap gives ") + kLockKeys[key].name +
             " no lock: its lamp stays dark");
}

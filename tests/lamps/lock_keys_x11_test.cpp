// The lock-key lamps on a real X server (Xvfb), watched through a second
// connection as another client would see the keyboard's LEDs.
#include "lamps/lock_keys_x11.h"
#include "lamps/keyboard_led.h"

// GoogleTest before any X header: Xlib defines None and Bool as macros.
#include <gtest/gtest.h>

#include "support/virtual_desktop_linux.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <memory>
#include <string>

namespace {

struct KeyInfo {
    int virtualKey;
    KeySym keysym;
    const char* indicator;
    // The modifier the default keymap locks with the key; ScrollLock has none.
    unsigned int lockedModifier;
};

constexpr std::array<KeyInfo, 3> kKeys = {{
    {kVirtualKeyCapsLock, XK_Caps_Lock, "Caps Lock", LockMask},
    {kVirtualKeyScrollLock, XK_Scroll_Lock, "Scroll Lock", 0},
    {kVirtualKeyNumLock, XK_Num_Lock, "Num Lock", Mod2Mask},
}};

using States = std::array<int, 3>;

// Another client of the display: reads the LEDs and changes keys from outside.
class Observer {
  public:
    explicit Observer(const std::string& display) {
        int event = 0;
        int error = 0;
        int major = XkbMajorVersion;
        int minor = XkbMinorVersion;
        int reason = 0;
        m_display = XkbOpenDisplay(display.c_str(), &event, &error, &major, &minor, &reason);
    }
    ~Observer() {
        if (m_display != nullptr) {
            XCloseDisplay(m_display);
        }
    }
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;

    bool Ok() const { return m_display != nullptr; }

    int Led(const KeyInfo& key) const {
        Bool on = False;
        int index = 0;
        const Atom name = XInternAtom(m_display, key.indicator, False);
        EXPECT_TRUE(XkbGetNamedIndicator(m_display, name, &index, &on, nullptr, nullptr))
            << key.indicator;
        return on == True ? 1 : 0;
    }
    States Leds() const { return {Led(kKeys[0]), Led(kKeys[1]), Led(kKeys[2])}; }

    unsigned int LockedModifiers() const {
        XkbStateRec state{};
        XkbGetState(m_display, XkbUseCoreKbd, &state);
        return state.locked_mods;
    }

    // One keystroke, as if typed on the keyboard.
    void Press(KeySym keysym) const {
        const KeyCode code = XKeysymToKeycode(m_display, keysym);
        XTestFakeKeyEvent(m_display, code, True, CurrentTime);
        XTestFakeKeyEvent(m_display, code, False, CurrentTime);
        XSync(m_display, False);
    }

    // Brings a LED to on: by a keystroke where the key locks a modifier (the
    // default keymap: CapsLock, NumLock), else by setting the indicator.
    void SetLed(const KeyInfo& key, int on) const {
        if (Led(key) == on) {
            return;
        }
        if (key.keysym != XK_Scroll_Lock) {
            Press(key.keysym);
        } else {
            const Atom name = XInternAtom(m_display, key.indicator, False);
            XkbSetNamedIndicator(m_display, name, True, on != 0 ? True : False, False, nullptr);
            XSync(m_display, False);
        }
        ASSERT_EQ(Led(key), on) << key.indicator;
    }
    void SetLeds(const States& states) const {
        for (std::size_t i = 0; i < kKeys.size(); ++i) {
            SetLed(kKeys[i], states[i]);
        }
    }

  private:
    Display* m_display = nullptr;
};

class LockKeysX11 : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { s_desktop = std::make_unique<testsupport::VirtualDesktop>(); }
    static void TearDownTestSuite() { s_desktop.reset(); }

    void SetUp() override {
        m_observer = std::make_unique<Observer>(s_desktop->Display());
        ASSERT_TRUE(m_observer->Ok());
        m_observer->SetLeds({0, 0, 0});
    }

    static std::unique_ptr<testsupport::VirtualDesktop> s_desktop;
    std::unique_ptr<Observer> m_observer;
};

std::unique_ptr<testsupport::VirtualDesktop> LockKeysX11::s_desktop;

TEST_F(LockKeysX11, EachLampLightsAndDarkensItsLed) {
    X11LockKeyDriver driver(s_desktop->Display().c_str());
    ASSERT_TRUE(driver.IsConnected());
    for (const KeyInfo& key : kKeys) {
        CKeyboardLed lamp(key.virtualKey, driver);
        lamp.Set(1);
        EXPECT_EQ(m_observer->Led(key), 1) << key.indicator;
        // The lock is really on, not only its LED.
        EXPECT_EQ(m_observer->LockedModifiers() & key.lockedModifier, key.lockedModifier);
        EXPECT_EQ(lamp.GetState(), 1) << key.indicator;
        lamp.Set(0);
        EXPECT_EQ(m_observer->Led(key), 0) << key.indicator;
        EXPECT_EQ(m_observer->LockedModifiers() & key.lockedModifier, 0u);
        EXPECT_EQ(lamp.GetState(), 0) << key.indicator;
    }
    EXPECT_EQ(m_observer->Leds(), (States{0, 0, 0}));
}

TEST_F(LockKeysX11, SeesAChangeMadeFromOutside) {
    X11LockKeyDriver driver(s_desktop->Display().c_str());
    for (const KeyInfo& key : kKeys) {
        CKeyboardLed lamp(key.virtualKey, driver);
        m_observer->SetLed(key, 1);
        EXPECT_EQ(lamp.GetState(), 1) << key.indicator;
        lamp.Set(0);
        EXPECT_EQ(m_observer->Led(key), 0) << key.indicator;
    }
}

TEST_F(LockKeysX11, TheSameKeyTwiceInARowEndsInTheLastCallsState) {
    X11LockKeyDriver driver(s_desktop->Display().c_str());
    for (const KeyInfo& key : kKeys) {
        CKeyboardLed lamp(key.virtualKey, driver);
        // Many rounds, so that a flip not yet visible to the next read would show.
        for (int round = 0; round < 25; ++round) {
            lamp.Set(1);
            lamp.Set(0);
            ASSERT_EQ(m_observer->Led(key), 0) << key.indicator << " round " << round;
            lamp.Set(0);
            lamp.Set(1);
            ASSERT_EQ(m_observer->Led(key), 1) << key.indicator << " round " << round;
            lamp.Set(1);
            lamp.Set(1);
            ASSERT_EQ(m_observer->Led(key), 1) << key.indicator << " round " << round;
            lamp.Set(0);
        }
    }
}

TEST_F(LockKeysX11, ScrollLockGivenAModifierIsPressedLikeTheOthers) {
    // The keymap changes while the driver is connected, as with xmodmap on a desktop.
    X11LockKeyDriver driver(s_desktop->Display().c_str());
    CKeyboardLed scroll(kVirtualKeyScrollLock, driver);
    ASSERT_EQ(s_desktop->Run("xmodmap -e 'add mod3 = Scroll_Lock'"), 0);
    // The first call after the change already knows it.
    scroll.Toggle();
    EXPECT_NE(m_observer->LockedModifiers() & Mod3Mask, 0u);
    EXPECT_EQ(m_observer->Led(kKeys[1]), 1);
    scroll.Set(0);
    EXPECT_EQ(m_observer->LockedModifiers() & Mod3Mask, 0u);
    EXPECT_EQ(m_observer->Led(kKeys[1]), 0);

    // Without the modifier again, the indicator itself is the lamp.
    ASSERT_EQ(s_desktop->Run("xmodmap -e 'remove mod3 = Scroll_Lock'"), 0);
    scroll.Toggle();
    EXPECT_EQ(m_observer->LockedModifiers() & Mod3Mask, 0u);
    EXPECT_EQ(m_observer->Led(kKeys[1]), 1);
    scroll.Set(0);
    EXPECT_EQ(m_observer->Led(kKeys[1]), 0);
}

TEST_F(LockKeysX11, WithoutADisplayTheLampsDoNothingAndNothingFails) {
    X11LockKeyDriver driver("/nonexistent/velumin-test:0");
    EXPECT_FALSE(driver.IsConnected());
    m_observer->SetLeds({1, 1, 1});
    for (const KeyInfo& key : kKeys) {
        CKeyboardLed lamp(key.virtualKey, driver);
        EXPECT_EQ(lamp.GetState(), 0);
        lamp.Set(1);
        lamp.Set(0);
        lamp.Toggle();
        EXPECT_EQ(lamp.GetState(), 0);
    }
    EXPECT_EQ(m_observer->Leds(), (States{1, 1, 1}));
}

// The helper program with the process-wide lamps, talked to over a socket.
class Child {
  public:
    Child(const std::string& displayEnv, const std::string& commands) {
        int channel[2];
        if (socketpair(AF_UNIX, SOCK_STREAM, 0, channel) != 0) {
            return;
        }
        m_pid =
            testsupport::Spawn({VELUMIN_LOCK_KEYS_CHILD, std::to_string(channel[1]), commands},
                               {displayEnv, "WAYLAND_DISPLAY=", "XDG_SESSION_TYPE="}, channel[1]);
        close(channel[1]);
        m_channel = channel[0];
    }
    ~Child() {
        if (m_channel >= 0) {
            close(m_channel);
        }
        if (m_pid > 0) {
            testsupport::StopProcess(m_pid);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The three states the child's lamps read once it has set them; empty when it failed.
    std::string WaitUntilReady() const {
        std::string states;
        while (states.size() < 3) {
            pollfd ready{m_channel, POLLIN, 0};
            if (poll(&ready, 1, 10000) != 1) {
                return {};
            }
            char buffer[3];
            const ssize_t got = read(m_channel, buffer, sizeof(buffer) - states.size());
            if (got <= 0) {
                return {};
            }
            states.append(buffer, static_cast<std::size_t>(got));
        }
        return states;
    }

    // Lets the child end normally; its exit status, or -1 if it did not exit.
    int Finish() {
        const char answer = 'x';
        EXPECT_EQ(write(m_channel, &answer, 1), 1);
        int status = 0;
        const pid_t pid = m_pid;
        m_pid = -1;
        if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
            return -1;
        }
        return WEXITSTATUS(status);
    }

  private:
    pid_t m_pid = -1;
    int m_channel = -1;
};

TEST_F(LockKeysX11, AProcessThatEndsNormallyLeavesEveryKeyAsItFoundIt) {
    struct Case {
        States before;
        const char* lampCommands;
        KeySym typedFromOutside;
        States whileRunning;
    };
    const Case cases[] = {
        {{0, 0, 1}, "11-", XK_Num_Lock, {1, 1, 0}},
        {{1, 1, 0}, "-01", XK_Caps_Lock, {0, 0, 1}},
        {{1, 0, 0}, "0--", XK_Num_Lock, {0, 0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lampCommands);
        m_observer->SetLeds(c.before);
        Child child(s_desktop->DisplayEnv(), c.lampCommands);
        ASSERT_FALSE(child.WaitUntilReady().empty());
        m_observer->Press(c.typedFromOutside);
        ASSERT_EQ(m_observer->Leds(), c.whileRunning);
        ASSERT_EQ(child.Finish(), 0);
        EXPECT_EQ(m_observer->Leds(), c.before);
    }
}

TEST_F(LockKeysX11, AProcessWithoutAUsableDisplayRunsAndEndsNormally) {
    m_observer->SetLeds({1, 0, 1});
    Child child("DISPLAY=", "111");
    EXPECT_EQ(child.WaitUntilReady(), "000");
    EXPECT_EQ(child.Finish(), 0);
    EXPECT_EQ(m_observer->Leds(), (States{1, 0, 1}));
}

}  // namespace

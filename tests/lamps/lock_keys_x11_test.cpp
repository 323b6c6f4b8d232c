// The lock-key lamps on a real X server, watched through a second connection
// as another client would see the keyboard's LEDs.
#include "lamps/lock_keys_x11.h"

// GoogleTest before any X header: Xlib defines None and Bool as macros.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <memory>

#include "lamps/keyboard_led.h"
#include "support/desktop_linux.h"

namespace {

struct Key {
    int virtualKey;
    KeySym keysym;
    const char* indicator;
    unsigned lockedModifier;  // in the default keymap; ScrollLock locks none
};
const Key kKeys[] = {{kVirtualKeyCapsLock, XK_Caps_Lock, "Caps Lock", LockMask},
                     {kVirtualKeyScrollLock, XK_Scroll_Lock, "Scroll Lock", 0},
                     {kVirtualKeyNumLock, XK_Num_Lock, "Num Lock", Mod2Mask}};

class LockKeysX11 : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        desktop = std::make_unique<testsupport::VirtualDesktop>();
        observer = std::make_unique<testsupport::XDesktop>(desktop->Display());
    }
    static void TearDownTestSuite() {
        observer.reset();
        desktop.reset();
    }
    void SetUp() override {
        for (const Key& key : kKeys) {
            observer->SetLed(key.indicator, key.keysym, false);
        }
    }
    static inline std::unique_ptr<testsupport::VirtualDesktop> desktop;
    static inline std::unique_ptr<testsupport::XDesktop> observer;
};

TEST_F(LockKeysX11, EachLampLocksAndLightsItsOwnKeyAndSeesChangesFromOutside) {
    X11LockKeyDriver driver(desktop->Display().c_str());
    ASSERT_TRUE(driver.IsConnected());
    for (const Key& key : kKeys) {
        CKeyboardLed lamp(key.virtualKey, driver);
        // Twice in a row, as when both directions share a key: the last call wins.
        for (const int on : {1, 1, 0, 1, 0, 0, 1, 0}) {
            lamp.Set(on);
            ASSERT_EQ(observer->Led(key.indicator), on == 1) << key.indicator;
            EXPECT_EQ(observer->LockedModifiers() & key.lockedModifier,
                      on == 1 ? key.lockedModifier : 0u);
            EXPECT_EQ(lamp.GetState(), on) << key.indicator;
        }
        observer->SetLed(key.indicator, key.keysym, true);
        EXPECT_EQ(lamp.GetState(), 1) << key.indicator << " lit from outside";
        lamp.Set(0);
        EXPECT_FALSE(observer->Led(key.indicator));
    }
}

TEST_F(LockKeysX11, ScrollLockGivenAModifierLaterIsPressedLikeTheOthers) {
    X11LockKeyDriver driver(desktop->Display().c_str());
    CKeyboardLed scroll(kVirtualKeyScrollLock, driver);
    // The keymap changes while the driver is connected, as with xmodmap on a desktop.
    for (const char* change : {"add", "remove"}) {
        ASSERT_EQ(desktop->Run(std::string("xmodmap -e '") + change + " mod3 = Scroll_Lock'"), 0);
        scroll.Toggle();
        EXPECT_EQ(observer->LockedModifiers() & Mod3Mask, *change == 'a' ? Mod3Mask : 0u);
        EXPECT_TRUE(observer->Led("Scroll Lock"));
        scroll.Set(0);
        EXPECT_FALSE(observer->Led("Scroll Lock"));
    }
}

TEST_F(LockKeysX11, WithoutADisplayTheLampsDoNothingAndNothingFails) {
    X11LockKeyDriver driver("/nonexistent/velumin-test:0");
    EXPECT_FALSE(driver.IsConnected());
    observer->SetLed("Caps Lock", XK_Caps_Lock, true);
    for (const Key& key : kKeys) {
        CKeyboardLed lamp(key.virtualKey, driver);
        lamp.Set(1);
        lamp.Toggle();
        EXPECT_EQ(lamp.GetState(), 0);
    }
    EXPECT_TRUE(observer->Led("Caps Lock"));
    EXPECT_FALSE(observer->Led("Num Lock"));
}

}  // namespace

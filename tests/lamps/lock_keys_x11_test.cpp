// The lock-key lamps on a real X server, watched through a second connection
// as another client would see the keyboard's LEDs.
#include "lamps/lock_keys_x11.h"

// GoogleTest before any X header: Xlib defines None and Bool as macros.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include "lamps/keyboard_led.h"
#include "support/desktop_linux.h"

namespace {

TEST(LockKeysX11, EachLampLocksAndLightsItsOwnKeyAndSeesChangesFromOutside) {
    struct Key {
        int virtualKey;
        KeySym keysym;
        const char* indicator;
        unsigned lockedModifier;  // in the default keymap; ScrollLock locks none
    };
    testsupport::VirtualDesktop desktop;
    testsupport::XDesktop observer(desktop.Display());
    X11LockKeyDriver driver(desktop.Display().c_str());
    ASSERT_TRUE(driver.IsConnected());
    for (const Key& key : {Key{kVirtualKeyCapsLock, XK_Caps_Lock, "Caps Lock", LockMask},
                           Key{kVirtualKeyScrollLock, XK_Scroll_Lock, "Scroll Lock", 0},
                           Key{kVirtualKeyNumLock, XK_Num_Lock, "Num Lock", Mod2Mask}}) {
        observer.SetLed(key.indicator, key.keysym, false);
        CKeyboardLed lamp(key.virtualKey, driver);
        // Twice in a row, as when both directions share a key: the last call wins.
        for (const int on : {1, 1, 0, 1, 0, 0, 1, 0}) {
            lamp.Set(on);
            ASSERT_EQ(observer.Led(key.indicator), on == 1) << key.indicator;
            EXPECT_EQ(observer.LockedModifiers() & key.lockedModifier,
                      on == 1 ? key.lockedModifier : 0u);
            EXPECT_EQ(lamp.GetState(), on) << key.indicator;
        }
        observer.SetLed(key.indicator, key.keysym, true);
        EXPECT_EQ(lamp.GetState(), 1) << key.indicator << " lit from outside";
        lamp.Set(0);
        EXPECT_FALSE(observer.Led(key.indicator));
    }

    // ScrollLock given a modifier while the driver is connected, as with
    // xmodmap on a desktop, is pressed like the others; and taken back.
    CKeyboardLed scroll(kVirtualKeyScrollLock, driver);
    for (const char* change : {"add", "remove"}) {
        ASSERT_EQ(desktop.Run(std::string("xmodmap -e '") + change + " mod3 = Scroll_Lock'"), 0);
        scroll.Toggle();
        EXPECT_EQ(observer.LockedModifiers() & Mod3Mask, *change == 'a' ? Mod3Mask : 0u);
        EXPECT_TRUE(observer.Led("Scroll Lock"));
        scroll.Set(0);
        EXPECT_FALSE(observer.Led("Scroll Lock"));
    }
}

}  // namespace

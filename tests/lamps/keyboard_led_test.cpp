// The lock-key lamp on in-memory keys: the state it gives back.
#include "lamps/keyboard_led.h"

#include <gtest/gtest.h>

#include "fakes/lamp_rig.h"

namespace {

constexpr int kCaps = kVirtualKeyCapsLock;

// The key's lock at the start, and what happens meanwhile: the lamp's Set, or
// 'u' for the user's own press of the key.
TEST(KeyboardLed, GivesBackTheStateItFoundWhenItEnds) {
    for (const auto& [start, meanwhile] :
         {std::pair{1, "10"}, {0, "1"}, {0, "u"}, {1, "u"}, {0, "1u"}, {1, ""}, {1, "0"}}) {
        fakes::Surroundings keys;
        keys.locks[kCaps] = start;
        {
            CKeyboardLed lamp(kCaps, keys);
            const CKeyboardLed other(kVirtualKeyNumLock, keys);
            for (const char* c = meanwhile; *c != '\0'; ++c) {
                *c == 'u' ? void(keys.locks[kCaps] ^= 1) : lamp.Set(*c - '0');
            }
        }
        EXPECT_EQ(keys.locks[kCaps], start) << meanwhile;
        EXPECT_EQ(keys.locks[kVirtualKeyNumLock], 0) << "another lamp's key was touched";
    }
}

}  // namespace

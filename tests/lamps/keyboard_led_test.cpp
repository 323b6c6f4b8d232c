// The lock-key lamp on in-memory keys: what it injects, and the state it gives back.
#include "lamps/keyboard_led.h"

#include <gtest/gtest.h>

#include "fakes/lamp_rig.h"

namespace {

constexpr int kCaps = kVirtualKeyCapsLock;

// Each step: the lamp's Set, or 'u' for the user's own press of the key; the
// key's lock afterwards; the press-and-release pairs injected so far.
TEST(KeyboardLed, SetInjectsOnlyWhatChangesTheKeyAndSeesTheUsersPresses) {
    fakes::Surroundings keys;
    CKeyboardLed lamp(kCaps, keys);
    for (const auto& [set, lock, injected] : {std::tuple{'1', 1, 1},
                                              {'1', 1, 1},
                                              {'0', 0, 2},
                                              {'0', 0, 2},
                                              {'2', 1, 3},
                                              {'u', 0, 3},
                                              {'0', 0, 3},
                                              {'1', 1, 4}}) {
        set == 'u' ? void(keys.locks[kCaps] ^= 1) : lamp.Set(set - '0');
        EXPECT_EQ(lamp.GetState(), lock) << set;
        EXPECT_EQ(keys.injected[kCaps], injected) << set;
    }
}

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
        EXPECT_EQ(keys.injected[kVirtualKeyNumLock], 0) << "another lamp's key was touched";
    }
}

}  // namespace

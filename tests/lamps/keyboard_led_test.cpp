// The lock-key lamp's logic on an in-memory keyboard: what it injects, and the
// state it gives back.
#include "lamps/keyboard_led.h"

#include "fakes/fake_lock_key_driver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>

namespace {

constexpr int kKeys[] = {kVirtualKeyCapsLock, kVirtualKeyScrollLock, kVirtualKeyNumLock};

TEST(KeyboardLed, SetInjectsOnlyWhenTheStateDiffers) {
    for (const int key : kKeys) {
        for (const int start : {0, 1}) {
            for (const int wanted : {0, 1}) {
                FakeLockKeyDriver keyboard;
                keyboard.SetLock(key, start);
                CKeyboardLed lamp(key, keyboard);
                lamp.Set(wanted);
                EXPECT_EQ(keyboard.Lock(key), wanted) << key << " " << start << "->" << wanted;
                EXPECT_EQ(keyboard.Injected(key), start == wanted ? 0 : 1)
                    << key << " " << start << "->" << wanted;
                EXPECT_EQ(lamp.GetState(), wanted);
            }
        }
    }
}

TEST(KeyboardLed, TwoCallsInARowEndInTheLastCallsState) {
    // Receive and send on the same key: each phase calls Set twice.
    FakeLockKeyDriver keyboard;
    CKeyboardLed lamp(kVirtualKeyCapsLock, keyboard);
    lamp.Set(1);
    lamp.Set(1);
    EXPECT_EQ(keyboard.Lock(kVirtualKeyCapsLock), 1);
    EXPECT_EQ(keyboard.Injected(kVirtualKeyCapsLock), 1);
    lamp.Set(0);
    lamp.Set(0);
    EXPECT_EQ(keyboard.Lock(kVirtualKeyCapsLock), 0);
    EXPECT_EQ(keyboard.Injected(kVirtualKeyCapsLock), 2);
    lamp.Set(1);
    lamp.Set(0);
    EXPECT_EQ(keyboard.Lock(kVirtualKeyCapsLock), 0);
    EXPECT_EQ(keyboard.Injected(kVirtualKeyCapsLock), 4);
}

TEST(KeyboardLed, ToggleInjectsOnePressAndReleaseOfItsOwnKey) {
    FakeLockKeyDriver keyboard;
    CKeyboardLed lamp(kVirtualKeyNumLock, keyboard);
    lamp.Toggle();
    EXPECT_EQ(keyboard.Lock(kVirtualKeyNumLock), 1);
    EXPECT_EQ(keyboard.Injected(kVirtualKeyNumLock), 1);
    EXPECT_EQ(keyboard.Injected(kVirtualKeyCapsLock), 0);
    EXPECT_EQ(keyboard.Injected(kVirtualKeyScrollLock), 0);
}

TEST(KeyboardLed, AnyNonZeroRequestMeansLit) {
    FakeLockKeyDriver keyboard;
    CKeyboardLed lamp(kVirtualKeyScrollLock, keyboard);
    lamp.Set(2);
    lamp.Set(-1);
    EXPECT_EQ(keyboard.Lock(kVirtualKeyScrollLock), 1);
    EXPECT_EQ(keyboard.Injected(kVirtualKeyScrollLock), 1);
}

TEST(KeyboardLed, TheUsersChangeIsSeenByTheNextSet) {
    FakeLockKeyDriver keyboard;
    CKeyboardLed lamp(kVirtualKeyCapsLock, keyboard);
    lamp.Set(1);
    keyboard.PressByHand(kVirtualKeyCapsLock);
    lamp.Set(0);
    EXPECT_EQ(keyboard.Injected(kVirtualKeyCapsLock), 1);
    lamp.Set(1);
    EXPECT_EQ(keyboard.Lock(kVirtualKeyCapsLock), 1);
    EXPECT_EQ(keyboard.Injected(kVirtualKeyCapsLock), 2);
}

TEST(KeyboardLed, GivesBackTheStateItFoundAtConstruction) {
    struct Case {
        const char* what;
        int start;
        int injectedAtEnd;
        void (*between)(CKeyboardLed&, FakeLockKeyDriver&);
    };
    const Case cases[] = {
        {"on at start, then flashed: ends dark between flashes", 1, 1,
         [](CKeyboardLed& lamp, FakeLockKeyDriver&) {
             lamp.Set(1);
             lamp.Set(0);
         }},
        {"off at start, left lit", 0, 1,
         [](CKeyboardLed& lamp, FakeLockKeyDriver&) { lamp.Set(1); }},
        {"never used as a lamp, switched on by hand", 0, 1,
         [](CKeyboardLed&, FakeLockKeyDriver& keyboard) {
             keyboard.PressByHand(kVirtualKeyCapsLock);
         }},
        {"never used as a lamp, switched off by hand", 1, 1,
         [](CKeyboardLed&, FakeLockKeyDriver& keyboard) {
             keyboard.PressByHand(kVirtualKeyCapsLock);
         }},
        {"lit by the lamp, then darkened by hand", 0, 0,
         [](CKeyboardLed& lamp, FakeLockKeyDriver& keyboard) {
             lamp.Set(1);
             keyboard.PressByHand(kVirtualKeyCapsLock);
         }},
        {"untouched", 1, 0, [](CKeyboardLed&, FakeLockKeyDriver&) {}},
    };
    for (const Case& c : cases) {
        FakeLockKeyDriver keyboard;
        keyboard.SetLock(kVirtualKeyCapsLock, c.start);
        int injectedBefore = 0;
        {
            CKeyboardLed lamp(kVirtualKeyCapsLock, keyboard);
            c.between(lamp, keyboard);
            injectedBefore = keyboard.Injected(kVirtualKeyCapsLock);
        }
        EXPECT_EQ(keyboard.Lock(kVirtualKeyCapsLock), c.start) << c.what;
        EXPECT_EQ(keyboard.Injected(kVirtualKeyCapsLock) - injectedBefore, c.injectedAtEnd)
            << c.what;
    }
}

TEST(KeyboardLed, EachOfThreeLampsGivesBackItsOwnKey) {
    FakeLockKeyDriver keyboard;
    keyboard.SetLock(kVirtualKeyCapsLock, 0);
    keyboard.SetLock(kVirtualKeyScrollLock, 1);
    keyboard.SetLock(kVirtualKeyNumLock, 1);
    {
        CKeyboardLed caps(kVirtualKeyCapsLock, keyboard);
        CKeyboardLed scroll(kVirtualKeyScrollLock, keyboard);
        CKeyboardLed num(kVirtualKeyNumLock, keyboard);
        caps.Set(1);
        scroll.Set(0);
        keyboard.PressByHand(kVirtualKeyNumLock);
    }
    EXPECT_EQ(keyboard.Lock(kVirtualKeyCapsLock), 0);
    EXPECT_EQ(keyboard.Lock(kVirtualKeyScrollLock), 1);
    EXPECT_EQ(keyboard.Lock(kVirtualKeyNumLock), 1);
}

TEST(KeyboardLedIndex, MapsTheThreeLampsInTheListOrderAndNothingElse) {
    FakeLockKeyDriver keyboard;
    CKeyboardLed caps(kVirtualKeyCapsLock, keyboard);
    CKeyboardLed scroll(kVirtualKeyScrollLock, keyboard);
    CKeyboardLed num(kVirtualKeyNumLock, keyboard);
    const CKeyboardLed other(kVirtualKeyCapsLock, keyboard);
    const KeyboardLedTable lamps = {&caps, &scroll, &num};
    EXPECT_EQ(KeyboardLedFromIndex(lamps, 0), &caps);
    EXPECT_EQ(KeyboardLedFromIndex(lamps, 1), &scroll);
    EXPECT_EQ(KeyboardLedFromIndex(lamps, 2), &num);
    for (const int index : {0, 1, 2}) {
        EXPECT_EQ(KeyboardLedToIndex(lamps, KeyboardLedFromIndex(lamps, index)), index);
    }
    for (const int index : {-1, 3, 4, INT_MIN, INT_MAX}) {
        EXPECT_EQ(KeyboardLedFromIndex(lamps, index), nullptr) << index;
    }
    EXPECT_EQ(KeyboardLedToIndex(lamps, &other), -1);
    EXPECT_EQ(KeyboardLedToIndex(lamps, nullptr), -1);
}

}  // namespace

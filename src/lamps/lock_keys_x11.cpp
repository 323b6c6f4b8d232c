// Reads and flips the lock keys of an X display. A key whose keysym locks a
// modifier is pressed through XTest and read from XKB's locked modifiers; a key
// that locks none (Scroll_Lock in the usual keymaps) has its named indicator as
// the lamp.
#include "lamps/lock_keys_x11.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <string_view>

namespace {

struct LockKey {
    int virtualKey;
    KeySym keysym;
    const char* indicator;
};

constexpr LockKey kLockKeys[] = {
    {kVirtualKeyCapsLock, XK_Caps_Lock, "Caps Lock"},
    {kVirtualKeyScrollLock, XK_Scroll_Lock, "Scroll Lock"},
    {kVirtualKeyNumLock, XK_Num_Lock, "Num Lock"},
};

const LockKey* FindLockKey(int virtualKey) {
    const auto* found =
        std::find_if(std::begin(kLockKeys), std::end(kLockKeys),
                     [virtualKey](const LockKey& key) { return key.virtualKey == virtualKey; });
    return found == std::end(kLockKeys) ? nullptr : found;
}

// The modifiers the keymap binds to the key; pressing it locks them.
unsigned int LockModifiers(Display* display, const LockKey& key) {
    if (XKeysymToKeycode(display, key.keysym) == 0) {
        return 0;
    }
    return XkbKeysymToModifiers(display, key.keysym);
}

// The indicator's state; false when the display has no indicator of that name.
bool ReadIndicator(Display* display, const LockKey& key, Atom& name, Bool& on) {
    name = XInternAtom(display, key.indicator, True);
    int index = 0;
    on = False;
    return name != None &&
           XkbGetNamedIndicator(display, name, &index, &on, nullptr, nullptr) == True;
}

}  // namespace

bool WaylandSession() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* type = std::getenv("XDG_SESSION_TYPE");
    return (display != nullptr && *display != '\0') ||
           (type != nullptr && std::string_view(type) == "wayland");
}

X11LockKeyDriver::X11LockKeyDriver(const char* displayName) {
    int errorBase = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    int reason = 0;
    Display* display =
        XkbOpenDisplay(displayName, &m_xkbEventBase, &errorBase, &major, &minor, &reason);
    if (display == nullptr) {
        return;
    }
    int xtestEvent = 0;
    int xtestError = 0;
    if (XTestQueryExtension(display, &xtestEvent, &xtestError, &major, &minor) == False) {
        XCloseDisplay(display);
        return;
    }
    // Keymap changes arrive as events, so that a Scroll_Lock given a modifier
    // later (xmodmap, setxkbmap) is pressed like the others from then on.
    XkbSelectEvents(display, XkbUseCoreKbd, XkbMapNotifyMask, XkbMapNotifyMask);
    m_display = display;
}

X11LockKeyDriver::~X11LockKeyDriver() {
    if (m_display != nullptr) {
        XCloseDisplay(m_display);
    }
}

void X11LockKeyDriver::TakeKeymapChanges() {
    // The round trip brings in every event sent before it, so a keymap changed
    // by another client just now is already known here.
    XSync(m_display, False);
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        if (event.type == m_xkbEventBase) {
            auto& xkb = reinterpret_cast<XkbEvent&>(event);
            if (xkb.any.xkb_type == XkbMapNotify) {
                XkbRefreshKeyboardMapping(&xkb.map);
            }
        } else if (event.type == MappingNotify) {
            XRefreshKeyboardMapping(&event.xmapping);
        }
    }
}

int X11LockKeyDriver::GetLockState(int virtualKey) {
    const std::lock_guard<std::mutex> hold(m_mutex);
    const LockKey* key = FindLockKey(virtualKey);
    if (!IsConnected() || key == nullptr) {
        return 0;
    }
    TakeKeymapChanges();
    const unsigned int modifiers = LockModifiers(m_display, *key);
    if (modifiers != 0) {
        XkbStateRec state{};
        if (XkbGetState(m_display, XkbUseCoreKbd, &state) != Success) {
            return 0;
        }
        return (state.locked_mods & modifiers) != 0 ? 1 : 0;
    }
    Atom name = None;
    Bool on = False;
    return ReadIndicator(m_display, *key, name, on) && on == True ? 1 : 0;
}

void X11LockKeyDriver::ToggleLock(int virtualKey) {
    const std::lock_guard<std::mutex> hold(m_mutex);
    const LockKey* key = FindLockKey(virtualKey);
    if (!IsConnected() || key == nullptr) {
        return;
    }
    TakeKeymapChanges();
    if (LockModifiers(m_display, *key) != 0) {
        const KeyCode code = XKeysymToKeycode(m_display, key->keysym);
        XTestFakeKeyEvent(m_display, code, True, CurrentTime);
        XTestFakeKeyEvent(m_display, code, False, CurrentTime);
    } else {
        Atom name = None;
        Bool on = False;
        if (!ReadIndicator(m_display, *key, name, on)) {
            return;
        }
        XkbSetNamedIndicator(m_display, name, True, on == True ? False : True, False, nullptr);
    }
    // The server handles a request before answering a later one, so after this
    // round trip the next read already sees the flip.
    XSync(m_display, False);
}

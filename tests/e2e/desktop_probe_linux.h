// What a user would see on a virtual desktop, read through Xlib: windows by
// class and title, the tray icon's pixels, the lock keys' states.
#pragma once

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace e2e {

struct ShownWindow {
    Window id = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool topLevel = false;
    bool overrideRedirect = false;
    std::string title;
};

class DesktopProbe {
  public:
    explicit DesktopProbe(const std::string& display) : m_dpy(XOpenDisplay(display.c_str())) {}
    ~DesktopProbe() {
        if (m_dpy != nullptr) {
            XCloseDisplay(m_dpy);
        }
    }
    DesktopProbe(const DesktopProbe&) = delete;
    DesktopProbe& operator=(const DesktopProbe&) = delete;

    bool Connected() const { return m_dpy != nullptr; }

    // Every viewable window whose class names the given program, with its
    // position on the screen.
    std::vector<ShownWindow> WindowsOf(const std::string& resourceName) {
        std::vector<ShownWindow> found;
        // Windows may vanish while we look; their errors are no failure.
        XSync(m_dpy, False);
        const auto previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        Collect(DefaultRootWindow(m_dpy), resourceName, found);
        XSync(m_dpy, False);
        XSetErrorHandler(previous);
        return found;
    }

    // The program's icons docked in the tray: its windows that are not top-level.
    std::vector<ShownWindow> TrayIcons(const std::string& resourceName) {
        return WindowsOf(resourceName, [](const ShownWindow& w) { return !w.topLevel; });
    }

    // Top-level windows of the program with the given title.
    std::vector<ShownWindow> Titled(const std::string& resourceName, const std::string& title) {
        return WindowsOf(resourceName,
                         [&title](const ShownWindow& w) { return w.topLevel && w.title == title; });
    }

    // Popup menus of the program (override-redirect top-level windows).
    std::vector<ShownWindow> Popups(const std::string& resourceName) {
        return WindowsOf(resourceName,
                         [](const ShownWindow& w) { return w.topLevel && w.overrideRedirect; });
    }

    // True when the keyboard focus is in the window or one of its children.
    bool HasFocus(const ShownWindow& window) {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(m_dpy, &focus, &revert);
        XSync(m_dpy, False);
        const auto previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        bool inside = false;
        while (focus != 0 && focus != PointerRoot && !inside) {
            inside = focus == window.id;
            Window root = 0;
            Window parent = 0;
            Window* children = nullptr;
            unsigned count = 0;
            if (XQueryTree(m_dpy, focus, &root, &parent, &children, &count) == 0) {
                break;
            }
            if (children != nullptr) {
                XFree(children);
            }
            focus = parent == root ? 0 : parent;
        }
        XSync(m_dpy, False);
        XSetErrorHandler(previous);
        return inside;
    }

    // The window's pixels as 0xRRGGBB, row by row; empty when it cannot be read.
    std::vector<std::uint32_t> Pixels(const ShownWindow& window) {
        std::vector<std::uint32_t> pixels;
        XImage* image = XGetImage(m_dpy, DefaultRootWindow(m_dpy), window.x, window.y,
                                  static_cast<unsigned>(window.width),
                                  static_cast<unsigned>(window.height), AllPlanes, ZPixmap);
        if (image == nullptr) {
            return pixels;
        }
        for (int y = 0; y < window.height; ++y) {
            for (int x = 0; x < window.width; ++x) {
                pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF));
            }
        }
        XDestroyImage(image);
        return pixels;
    }

    // Lock states as the keyboard's LEDs show them.
    bool CapsLock() { return (LockedMods() & LockMask) != 0; }
    bool NumLock() { return (LockedMods() & XkbKeysymToModifiers(m_dpy, XK_Num_Lock)) != 0; }
    bool ScrollLock() {
        Bool on = False;
        XkbGetNamedIndicator(m_dpy, XInternAtom(m_dpy, "Scroll Lock", False), nullptr, &on, nullptr,
                             nullptr);
        return on == True;
    }
    void SetLocks(bool caps, bool num) {
        const unsigned numMask = XkbKeysymToModifiers(m_dpy, XK_Num_Lock);
        XkbLockModifiers(m_dpy, XkbUseCoreKbd, LockMask | numMask,
                         (caps ? LockMask : 0U) | (num ? numMask : 0U));
        XSync(m_dpy, False);
    }

  private:
    template <typename Predicate>
    std::vector<ShownWindow> WindowsOf(const std::string& resourceName, Predicate predicate) {
        const std::vector<ShownWindow> all = WindowsOf(resourceName);
        std::vector<ShownWindow> found;
        std::copy_if(all.begin(), all.end(), std::back_inserter(found), predicate);
        return found;
    }

    unsigned LockedMods() {
        XkbStateRec state{};
        XkbGetState(m_dpy, XkbUseCoreKbd, &state);
        return state.locked_mods;
    }

    std::string Title(Window window) {
        const Atom netName = XInternAtom(m_dpy, "_NET_WM_NAME", False);
        const Atom utf8 = XInternAtom(m_dpy, "UTF8_STRING", False);
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        std::string title;
        if (XGetWindowProperty(m_dpy, window, netName, 0, 1024, False, utf8, &type, &format, &count,
                               &remaining, &data) == Success &&
            data != nullptr) {
            title.assign(reinterpret_cast<char*>(data), count);
            XFree(data);
        }
        return title;
    }

    void Collect(Window parent, const std::string& resourceName, std::vector<ShownWindow>& found) {
        Window root = 0;
        Window parentOfParent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(m_dpy, parent, &root, &parentOfParent, &children, &count) == 0) {
            return;
        }
        for (unsigned i = 0; i < count; ++i) {
            const Window child = children[i];
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(m_dpy, child, &attributes) == 0 ||
                attributes.map_state != IsViewable) {
                continue;
            }
            XClassHint hint{};
            if (XGetClassHint(m_dpy, child, &hint) != 0) {
                const bool ours = hint.res_name != nullptr && resourceName == hint.res_name;
                XFree(hint.res_name);
                XFree(hint.res_class);
                if (ours) {
                    ShownWindow window;
                    window.id = child;
                    Window ignored = 0;
                    XTranslateCoordinates(m_dpy, child, root, 0, 0, &window.x, &window.y, &ignored);
                    window.width = attributes.width;
                    window.height = attributes.height;
                    window.topLevel = parent == root;
                    window.overrideRedirect = attributes.override_redirect == True;
                    window.title = Title(child);
                    found.push_back(window);
                }
            }
            Collect(child, resourceName, found);
        }
        if (children != nullptr) {
            XFree(children);
        }
    }

    Display* m_dpy;
};

}  // namespace e2e

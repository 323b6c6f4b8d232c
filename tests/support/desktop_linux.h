// Processes and a private virtual desktop for the Linux-side tests: Xvfb with
// trayer as the tray host, and what a user would see on it, read through Xlib.
#pragma once

// Xlib defines None and Bool as macros: GoogleTest comes first where both are used.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/files.h"

namespace testsupport {

// Starts a program with its standard streams on /dev/null (a child that keeps a
// pipe of ours open would hang the test step) and extra environment.
inline pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                   int keepFd = -1) {
    const pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    const int devnull = open("/dev/null", O_RDWR);
    for (int fd = 0; fd < 256; ++fd) {
        fd < 3 ? dup2(devnull, fd) : fd != keepFd ? close(fd) : 0;
    }
    for (const std::string& text : env) {
        putenv(const_cast<char*>(text.c_str()));
    }
    std::vector<char*> args(argv.size() + 1, nullptr);
    std::transform(argv.begin(), argv.end(), args.begin(),
                   [](const std::string& text) { return const_cast<char*>(text.c_str()); });
    execvp(args[0], args.data());
    _exit(127);
}

inline void StopProcess(pid_t pid) {
    if (pid > 0 && kill(pid, SIGTERM) == 0) {
        waitpid(pid, nullptr, 0);
    }
}

// An Xvfb of its own and, when asked, trayer; what it started ends with it.
class VirtualDesktop {
  public:
    explicit VirtualDesktop(bool withTray = false) {
        int ready[2];
        // Xvfb writes its display number to the pipe once it accepts clients.
        if (pipe(ready) != 0) {
            throw std::runtime_error("no pipe");
        }
        m_xvfb = Spawn({"Xvfb", "-displayfd", std::to_string(ready[1]), "-screen", "0",
                        "1024x768x24", "-nolisten", "tcp", "-noreset"},
                       {}, ready[1]);
        close(ready[1]);
        for (char c = 0; read(ready[0], &c, 1) == 1 && c != '\n';) {
            m_display += c;
        }
        close(ready[0]);
        m_display = ":" + m_display;
        if (withTray) {
            StartTray();
        }
    }
    ~VirtualDesktop() {
        StopTray();
        StopProcess(m_xvfb);
    }
    VirtualDesktop(const VirtualDesktop&) = delete;
    VirtualDesktop& operator=(const VirtualDesktop&) = delete;

    const std::string& Display() const { return m_display; }
    std::string DisplayEnv() const { return "DISPLAY=" + m_display; }

    // trayer at the top left corner; returns once it owns the tray selection.
    void StartTray() {
        m_trayer = Spawn({"trayer", "--edge", "top", "--align", "left", "--widthtype", "pixel",
                          "--width", "160", "--heighttype", "pixel", "--height", "32",
                          "--transparent", "false", "--tint", "0x404040"},
                         {DisplayEnv()});
        // Emulated in the guest on a busy machine, trayer may take its time.
        if (!WaitFor([this] { return TrayOwned(); }, std::chrono::seconds(60))) {
            throw std::runtime_error("trayer did not take the tray selection");
        }
    }
    void StopTray() { StopProcess(std::exchange(m_trayer, -1)); }
    bool TrayOwned() const {
        ::Display* dpy = XOpenDisplay(m_display.c_str());
        const bool owned =
            dpy != nullptr && XGetSelectionOwner(dpy, XInternAtom(dpy, "_NET_SYSTEM_TRAY_S0", 0));
        if (dpy != nullptr) {
            XCloseDisplay(dpy);
        }
        return owned;
    }

    // A shell command with this desktop's DISPLAY; its exit status.
    int Run(const std::string& command) const {
        return std::system((DisplayEnv() + " " + command).c_str());
    }

  private:
    pid_t m_xvfb = -1;
    pid_t m_trayer = -1;
    std::string m_display;
};

struct XWindow {
    Window id = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool popup = false;  // override-redirect: a menu or a tooltip
};

// Another client of a display, reading it as a user sees it. Windows come and
// go while it looks: their errors are no failure.
class XDesktop {
  public:
    explicit XDesktop(const std::string& display) : m_dpy(XOpenDisplay(display.c_str())) {
        if (m_dpy == nullptr) {
            throw std::runtime_error("cannot open display " + display);
        }
        XSetErrorHandler([](::Display*, XErrorEvent*) { return 0; });
    }
    ~XDesktop() { XCloseDisplay(m_dpy); }
    XDesktop(const XDesktop&) = delete;
    XDesktop& operator=(const XDesktop&) = delete;

    // Viewable top-level windows of a program (by its class), with the given
    // title if one is given: "" is no title.
    std::vector<XWindow> Windows(const std::string& program, const char* title = nullptr) {
        std::vector<XWindow> found;
        for (const Window id : Children(DefaultRootWindow(m_dpy))) {
            XWindow window;
            if (Viewable(id, window) && Class(id) == program && (!title || Title(id) == title)) {
                found.push_back(window);
            }
        }
        return found;
    }

    // The icons docked in trayer's panel, each in a socket window of the panel.
    std::vector<XWindow> DockedIcons() {
        std::vector<XWindow> icons;
        for (const Window panel : Children(DefaultRootWindow(m_dpy))) {
            for (const Window socket :
                 Class(panel) == "panel" ? Children(panel) : std::vector<Window>{}) {
                for (const Window id : Children(socket)) {
                    if (XWindow icon; Viewable(id, icon)) {
                        icons.push_back(icon);
                    }
                }
            }
        }
        return icons;
    }

    // "Idle", "Receive", "Send" or "Both" when one icon is docked showing a red
    // half (send lamp) left of a green one (receive lamp), bright when lit;
    // "none", "several icons" or "unclear" otherwise.
    std::string LampPicture() {
        const std::vector<XWindow> icons = DockedIcons();
        if (icons.size() != 1) {
            return icons.empty() ? "none" : "several icons";
        }
        int count[2][2] = {};  // [red, green][dark, bright]
        long sumX[2] = {};
        const std::vector<std::uint32_t> pixels = Pixels(icons[0]);
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            const std::uint32_t r = pixels[i] >> 16 & 0xFF, g = pixels[i] >> 8 & 0xFF,
                                b = pixels[i] & 0xFF;
            // Background and blended pixels at the seam count for nothing.
            if (b >= 40 || (r < 40) == (g < 40)) {
                continue;
            }
            const int lamp = r > 96 && g < 40 ? 0 : g > 96 && r < 40 ? 1 : -1;
            if (lamp >= 0) {
                ++count[lamp][(lamp == 0 ? r : g) > 192];
                sumX[lamp] += static_cast<long>(i % static_cast<std::size_t>(icons[0].width));
            }
        }
        const int red = count[0][0] + count[0][1];
        const int green = count[1][0] + count[1][1];
        if (red < 64 || green < 64 || sumX[0] / red >= sumX[1] / green) {
            return "unclear";
        }
        static const char* const names[] = {"Idle", "Receive", "Send", "Both"};
        return names[(count[0][1] > count[0][0] ? 2 : 0) + (count[1][1] > count[1][0] ? 1 : 0)];
    }

    // The window's pixels as 0xRRGGBB, row by row.
    std::vector<std::uint32_t> Pixels(const XWindow& w) {
        std::vector<std::uint32_t> pixels;
        XImage* image = XGetImage(m_dpy, DefaultRootWindow(m_dpy), w.x, w.y, unsigned(w.width),
                                  unsigned(w.height), AllPlanes, ZPixmap);
        for (int i = 0; image != nullptr && i < w.width * w.height; ++i) {
            pixels.push_back(std::uint32_t(XGetPixel(image, i % w.width, i / w.width) & 0xFFFFFF));
        }
        if (image != nullptr) {
            XDestroyImage(image);
        }
        return pixels;
    }

    // A lock key's LED by indicator name ("Caps Lock", "Num Lock", "Scroll Lock").
    bool Led(const char* indicator) {
        Bool on = False;
        XkbGetNamedIndicator(m_dpy, XInternAtom(m_dpy, indicator, 0), nullptr, &on, nullptr,
                             nullptr);
        return on == True;
    }
    unsigned LockedModifiers() {
        XkbStateRec state{};
        XkbGetState(m_dpy, XkbUseCoreKbd, &state);
        return state.locked_mods;
    }
    // Brings a LED to on: by a keystroke where its key locks a modifier, else
    // by the indicator itself.
    void SetLed(const char* indicator, KeySym key, bool on) {
        if (Led(indicator) != on && XkbKeysymToModifiers(m_dpy, key) != 0) {
            XTestFakeKeyEvent(m_dpy, XKeysymToKeycode(m_dpy, key), True, CurrentTime);
            XTestFakeKeyEvent(m_dpy, XKeysymToKeycode(m_dpy, key), False, CurrentTime);
        } else if (Led(indicator) != on) {
            XkbSetNamedIndicator(m_dpy, XInternAtom(m_dpy, indicator, 0), True, on, False, nullptr);
        }
        XSync(m_dpy, False);
    }

  private:
    std::vector<Window> Children(Window window) {
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        std::vector<Window> result;
        if (XQueryTree(m_dpy, window, &root, &parent, &children, &count) != 0 && children) {
            result.assign(children, children + count);
            XFree(children);
        }
        return result;
    }
    bool Viewable(Window id, XWindow& window) {
        XWindowAttributes a{};
        Window child = 0;
        if (XGetWindowAttributes(m_dpy, id, &a) == 0 || a.map_state != IsViewable) {
            return false;
        }
        window = {id, 0, 0, a.width, a.height, a.override_redirect == True};
        return XTranslateCoordinates(m_dpy, id, DefaultRootWindow(m_dpy), 0, 0, &window.x,
                                     &window.y, &child) != 0;
    }
    std::string Class(Window id) {
        XClassHint hint{};
        if (XGetClassHint(m_dpy, id, &hint) == 0) {
            return {};
        }
        std::string name = hint.res_name != nullptr ? hint.res_name : "";
        XFree(hint.res_name);
        XFree(hint.res_class);
        return name;
    }
    std::string Title(Window id) {
        XTextProperty text{};
        std::string title;
        if (XGetTextProperty(m_dpy, id, &text, XInternAtom(m_dpy, "_NET_WM_NAME", 0)) != 0) {
            title.assign(reinterpret_cast<char*>(text.value), text.nitems);
            XFree(text.value);
        }
        return title;
    }

    ::Display* m_dpy;
};

}  // namespace testsupport

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

// The exit status once the process has ended; -1 if it does not end in time.
inline int ExitStatus(pid_t pid, std::chrono::milliseconds limit) {
    int status = -1;
    return WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limit) &&
                   WIFEXITED(status)
               ? WEXITSTATUS(status)
               : -1;
}

// Datagrams over loopback until destroyed, in the network namespace of a
// process (0: the machine's own).
struct LoopbackTraffic {
    explicit LoopbackTraffic(pid_t program)
        : sender(
              Spawn({"nsenter",
                     "--net=/proc/" + std::to_string(program != 0 ? program : getpid()) + "/ns/net",
                     "bash", "-c", "while sleep 0.02; do echo >/dev/udp/127.0.0.1/9; done"})) {}
    ~LoopbackTraffic() { StopProcess(sender); }
    LoopbackTraffic(const LoopbackTraffic&) = delete;
    LoopbackTraffic& operator=(const LoopbackTraffic&) = delete;
    pid_t sender;
};

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

// Pixels read from a screen as 0xRRGGBB, row by row.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(int x, int y) const { return pixels[std::size_t(y * width + x)]; }
};

inline int Luma(std::uint32_t rgb) {
    return int((rgb >> 16 & 0xFF) * 3 + (rgb >> 8 & 0xFF) * 6 + (rgb & 0xFF)) / 10;
}

struct Lamp {
    std::string picture;
    int x = 0;  // its centre
    int y = 0;
};

// "Idle", "Receive", "Send" or "Both" where the image shows the tray lamp: a
// red half (send lamp) left of a green one (receive lamp), bright when lit;
// "none" or "unclear" otherwise.
inline Lamp LampIn(const Image& image) {
    int count[2][2] = {};  // [red, green][dark, bright]
    long sumX[2] = {};
    long sumY = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const std::uint32_t p = image.At(x, y), r = p >> 16 & 0xFF, g = p >> 8 & 0xFF;
            // Background and blended pixels at the seam count for nothing.
            const int lamp = (p & 0xFF) >= 40   ? -1
                             : r > 96 && g < 40 ? 0
                             : g > 96 && r < 40 ? 1
                                                : -1;
            if (lamp >= 0) {
                ++count[lamp][(lamp == 0 ? r : g) > 192];
                sumX[lamp] += x;
                sumY += y;
            }
        }
    }
    const int red = count[0][0] + count[0][1];
    const int green = count[1][0] + count[1][1];
    if (red < 64 || green < 64 || sumX[0] / red >= sumX[1] / green) {
        return {red + green == 0 ? "none" : "unclear"};
    }
    static const char* const names[] = {"Idle", "Receive", "Send", "Both"};
    return {names[(count[0][1] > count[0][0] ? 2 : 0) + (count[1][1] > count[1][0] ? 1 : 0)],
            int((sumX[0] + sumX[1]) / (red + green)), int(sumY / (red + green))};
}

// A picture that LampIn reads with a lamp lit.
inline bool Lit(const std::string& picture) {
    return picture == "Receive" || picture == "Send" || picture == "Both";
}

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

    // The picture of the one icon docked, as LampIn reads it; "none" or
    // "several icons" otherwise.
    std::string LampPicture() {
        const std::vector<XWindow> icons = DockedIcons();
        if (icons.size() != 1) {
            return icons.empty() ? "none" : "several icons";
        }
        return LampIn(Shot(icons[0])).picture;
    }

    // What the screen shows in the window's rectangle.
    Image Shot(const XWindow& w) {
        XImage* image = XGetImage(m_dpy, DefaultRootWindow(m_dpy), w.x, w.y, unsigned(w.width),
                                  unsigned(w.height), AllPlanes, ZPixmap);
        // Nothing where the window has gone.
        Image shot{image != nullptr ? w.width : 0, image != nullptr ? w.height : 0, {}};
        for (int y = 0; image != nullptr && y < w.height; ++y) {
            for (int x = 0; x < w.width; ++x) {
                // Xvfb's 24-bit screens hold a pixel in 32 bits: read them without a call each.
                shot.pixels.push_back(
                    image->bits_per_pixel == 32
                        ? reinterpret_cast<const std::uint32_t*>(
                              image->data + std::ptrdiff_t(y) * image->bytes_per_line)[x] &
                              0xFFFFFF
                        : std::uint32_t(XGetPixel(image, x, y) & 0xFFFFFF));
            }
        }
        if (image != nullptr) {
            XDestroyImage(image);
        }
        return shot;
    }
    // The screen's top rows.
    Image Screen(int rows) {
        XWindowAttributes root{};
        XGetWindowAttributes(m_dpy, DefaultRootWindow(m_dpy), &root);
        return Shot({0, 0, 0, root.width, std::min(rows, root.height)});
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

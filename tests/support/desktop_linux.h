// Processes and a private virtual desktop for the Linux-side tests: Xvfb with
// trayer as the tray host, and what a user would see on it, read with the
// desktop's own tools (xdotool, xwininfo, ImageMagick's import) and Xlib.
#pragma once

// Xlib defines None and Bool as macros: GoogleTest comes first where both are used.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sstream>
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

// The exit status once the process has ended, after a TERM if asked; -1 if it
// ends otherwise, or not within the limit, when it is killed: a program or
// helper that hangs as it ends must not hang the test that started it.
inline int ExitStatus(pid_t pid, bool terminate = false,
                      std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    int status = -1;
    if (pid <= 0 || (terminate && kill(pid, SIGTERM) != 0)) {
        return -1;
    }
    if (!WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limit)) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline void StopProcess(pid_t pid) {
    ExitStatus(pid, true, std::chrono::seconds(30));
}

// A shell command's standard output; "" if it fails.
inline std::string Output(const std::string& command) {
    std::string out;
    char buffer[1 << 16];
    FILE* pipe = popen(command.c_str(), "r");
    for (std::size_t n = 0; pipe != nullptr && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        out.append(buffer, n);
    }
    return pipe != nullptr && pclose(pipe) == 0 ? out : "";
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

    // trayer, 160 by 32 at the top left corner; returns once it owns the tray selection.
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

// A binary PPM of 8-bit samples (grim's, import's) as an Image; empty if it is none.
inline Image FromPpm(const std::string& ppm) {
    Image image;
    int at = 0;
    std::sscanf(ppm.c_str(), "P6 %d %d 255%n", &image.width, &image.height, &at);
    for (++at; at > 1 && std::size_t(at) + 2 < ppm.size(); at += 3) {
        image.pixels.push_back(std::uint32_t(std::uint8_t(ppm[at])) << 16 |
                               std::uint32_t(std::uint8_t(ppm[at + 1])) << 8 |
                               std::uint8_t(ppm[at + 2]));
    }
    return image.pixels.size() == std::size_t(image.width * image.height) ? image : Image{};
}

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
    std::string id;
    int x = 0;
    int y = 0;
    bool popup = false;  // override-redirect: a menu or a tooltip
};

// Another client of a display, reading it as a user sees it.
class XDesktop {
  public:
    explicit XDesktop(const std::string& display)
        : m_env("DISPLAY=" + display + " "), m_dpy(XOpenDisplay(display.c_str())) {
        if (m_dpy == nullptr) {
            throw std::runtime_error("cannot open display " + display);
        }
    }
    ~XDesktop() { XCloseDisplay(m_dpy); }
    XDesktop(const XDesktop&) = delete;
    XDesktop& operator=(const XDesktop&) = delete;

    // Viewable top-level windows of a program (by its class), with the given
    // title if one is given. Windows come and go while it looks.
    std::vector<XWindow> Windows(const std::string& program, const char* title = nullptr) {
        std::vector<XWindow> found;
        std::istringstream ids(Output(m_env +
                                      "xdotool search --maxdepth 1 --onlyvisible "
                                      "--classname '^" +
                                      program + "$' 2>/dev/null"));
        for (std::string id; ids >> id;) {
            const std::string info = Output(m_env + "xwininfo -id " + id + " 2>/dev/null");
            const auto number = [&](const char* label) {
                const std::size_t at = info.find(label);
                return at == std::string::npos ? 0
                                               : std::atoi(info.c_str() + at + std::strlen(label));
            };
            const std::size_t quote = info.find('"');
            const std::string name = info.substr(quote + 1, info.find("\"\n") - quote - 1);
            if (!info.empty() && (!title || name == title)) {
                found.push_back({id, number("Absolute upper-left X:"),
                                 number("Absolute upper-left Y:"),
                                 info.find("Override Redirect State: yes") != std::string::npos});
            }
        }
        return found;
    }

    // The program's menus (override-redirect windows) shown now.
    int Menus(const std::string& program) {
        const std::vector<XWindow> windows = Windows(program);
        return int(
            std::count_if(windows.begin(), windows.end(), [](const auto& w) { return w.popup; }));
    }
    // A right click on the icon in trayer's panel, again as a user would if no
    // menu came; false if the program's menu has not opened within a minute.
    bool OpenTrayMenu(const std::string& program) {
        return WaitFor(
            [&] {
                const Lamp icon = TrayLamp();
                return icon.picture != "none" &&
                       std::system((m_env + "xdotool mousemove " + std::to_string(icon.x) + " " +
                                    std::to_string(icon.y) + " click 3")
                                       .c_str()) == 0 &&
                       WaitFor([&] { return Menus(program) == 1; }, std::chrono::seconds(5));
            },
            std::chrono::seconds(60));
    }

    // The screen's rectangle at the top left corner, as import takes it.
    Image Screen(int width, int height) {
        return FromPpm(Output(m_env + "import -window root -crop " + std::to_string(width) + "x" +
                              std::to_string(height) + "+0+0 -depth 8 ppm:-"));
    }
    // The lamp in trayer's panel, as LampIn reads it.
    Lamp TrayLamp() { return LampIn(Screen(160, 32)); }
    std::string LampPicture() { return TrayLamp().picture; }

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
    std::string m_env;
    ::Display* m_dpy;
};

}  // namespace testsupport

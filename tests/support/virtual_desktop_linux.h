// A private virtual desktop for tests: an Xvfb server of its own and, when
// asked, trayer as the tray host. Everything started is ended with the object.
#pragma once

#include "support/wait.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

// Starts a program with its standard streams on /dev/null (a child that keeps
// a pipe of ours open would hang the test step), with extra environment.
inline pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                   int keepFd = -1) {
    const pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    const int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(devnull, 1);
    dup2(devnull, 2);
    for (int fd = 3; fd < 256; ++fd) {
        if (fd != keepFd) {
            close(fd);
        }
    }
    for (const std::string& assignment : env) {
        putenv(const_cast<char*>(assignment.c_str()));
    }
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

inline void StopProcess(pid_t pid) {
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}

class VirtualDesktop {
  public:
    explicit VirtualDesktop(bool withTray = false) {
        int ready[2];
        if (pipe(ready) != 0) {
            throw std::runtime_error("pipe failed");
        }
        // Xvfb writes its display number to the pipe once it accepts clients.
        m_xvfb = Spawn({"Xvfb", "-displayfd", std::to_string(ready[1]), "-screen", "0",
                        "1024x768x24", "-nolisten", "tcp", "-noreset"},
                       {}, ready[1]);
        close(ready[1]);
        std::string number;
        char c;
        while (read(ready[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(ready[0]);
        if (number.empty()) {
            StopProcess(m_xvfb);
            throw std::runtime_error("Xvfb did not start");
        }
        m_display = ":" + number;
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
                          "--iconspacing", "0", "--transparent", "false", "--tint", "0x404040"},
                         {DisplayEnv()});
        if (!WaitFor([this] { return TrayOwned(); })) {
            throw std::runtime_error("trayer did not take the tray selection");
        }
    }
    void StopTray() {
        StopProcess(m_trayer);
        m_trayer = -1;
    }

    bool TrayOwned() const {
        ::Display* dpy = XOpenDisplay(m_display.c_str());
        if (dpy == nullptr) {
            return false;
        }
        const Atom selection = XInternAtom(dpy, "_NET_SYSTEM_TRAY_S0", False);
        const bool owned = XGetSelectionOwner(dpy, selection) != None;
        XCloseDisplay(dpy);
        return owned;
    }

    // Runs a shell command with this desktop's DISPLAY; returns its exit status.
    int Run(const std::string& command) const {
        return std::system(("DISPLAY=" + m_display + " " + command).c_str());
    }

  private:
    pid_t m_xvfb = -1;
    pid_t m_trayer = -1;
    std::string m_display;
};

}  // namespace testsupport

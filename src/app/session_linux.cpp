// What the desktop session allows: the Qt platform, chosen before Qt would
// abort on its own, and the lock keys' driver.
#include "app/session_linux.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <QDir>
#include <QLibraryInfo>
#include <QStringList>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/file_descriptor_linux.h"
#include "base/messages_linux.h"
#include "lamps/lock_keys_uinput_linux.h"
#include "lamps/lock_keys_x11.h"

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Where Qt looks for its platform plugins: its own folder and the folders the
// environment adds.
bool WaylandPluginInstalled() {
    QStringList folders{
        QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"),
        qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH")};
    for (const QString& folder :
         qEnvironmentVariable("QT_PLUGIN_PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        folders << folder + QStringLiteral("/platforms");
    }
    for (const QString& folder : folders) {
        if (!folder.isEmpty() &&
            !QDir(folder).entryList({QStringLiteral("libqwayland-*.so")}, QDir::Files).isEmpty()) {
            return true;
        }
    }
    return false;
}

// The compositor's socket, as libwayland-client finds it.
std::string CompositorSocket() {
    std::string name = Env("WAYLAND_DISPLAY");
    if (name.empty()) {
        name = "wayland-0";
    }
    return name[0] == '/' ? name : Env("XDG_RUNTIME_DIR") + "/" + name;
}

bool CompositorReachable(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size());
    const FileDescriptor client(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    return client.IsOpen() &&
           connect(client.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

}  // namespace

bool WaylandSession() {
    return !Env("WAYLAND_DISPLAY").empty() || Env("XDG_SESSION_TYPE") == "wayland";
}

bool ChooseQtPlatform() {
    const std::string requested = Env("QT_QPA_PLATFORM");
    const bool hasX11 = !Env("DISPLAY").empty();
    // Unset, Qt tries Wayland first in a Wayland session and X11 otherwise.
    const bool triesWayland =
        requested.empty() ? WaylandSession() : requested.starts_with("wayland");
    const bool triesX11 = requested.empty() ? !triesWayland : requested.starts_with("xcb");
    // A list of platforms ("xcb;wayland") lets Qt go on to the next.
    const bool listed = requested.find(';') != std::string::npos;
    if (triesX11 && !hasX11 && !listed) {
        TellUser(WaylandSession()
                     ? "no X display for the platform xcb: DISPLAY is not set"
                     : "no graphical session: neither DISPLAY nor WAYLAND_DISPLAY is set");
        return false;
    }
    if (!triesWayland) {
        return true;
    }
    if (hasX11) {
        // Qt aborts when no platform it may try can start: X11 goes after Wayland.
        if (requested.find("xcb") == std::string::npos) {
            const std::string platforms = (requested.empty() ? "wayland" : requested) + ";xcb";
            setenv("QT_QPA_PLATFORM", platforms.c_str(), 1);
        }
        return true;
    }
    if (!WaylandPluginInstalled()) {
        TellUser(
            "Qt's Wayland platform plugin is missing: install the package qt6-wayland, or run "
            "the program in an X11 session");
        return false;
    }
    const std::string socketPath = CompositorSocket();
    if (!CompositorReachable(socketPath)) {
        TellUser("cannot reach the Wayland compositor at " + socketPath);
        return false;
    }
    return true;
}

LockKeyDriver& SessionLockKeyDriver() {
    // Each driver is made once, before the lamps that use it, so destroyed
    // (the X connection closed, the virtual keyboard removed) only after the
    // last lamp has given its key back during static destruction.
    if (!WaylandSession()) {
        static X11LockKeyDriver x11(nullptr);
        return x11;
    }
    // The lock keys of XWayland are not the keyboard's: in a Wayland session
    // the keys are pressed on a keyboard of the program's own, which the
    // compositor takes like any other.
    static UinputLockKeyDriver uinput("/dev/uinput", "/sys/class/leds", TellUser);
    const int error = uinput.OpenError();
    if (error == 0) {
        return uinput;
    }
    TellUser(std::string("the keyboard lamps stay dark in this Wayland session: /dev/uinput: ") +
             std::strerror(error) +
             (error == EACCES ? " (sudo velumin-uinput-access on grants the access)" : "") +
             "; the tray icon and the serial lamp still flash");
    static NoLockKeys none;
    return none;
}

void SayNoTray() {
    if (WaylandSession()) {
        TellUser(
            "the desktop has no system tray (no StatusNotifierItem host): start the program "
            "again once the desktop shows one");
    } else {
        TellUser("the desktop has no system tray; the icon appears when one starts.");
    }
}

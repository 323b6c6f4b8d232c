// Serial lamp ports on Linux: termios devices from a fixed list, lines via TIOCMBIS/TIOCMBIC.
#include "lamps/serial_port_linux.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <vector>

#include "base/file_descriptor_linux.h"
#include "base/messages_linux.h"

namespace {

// The lamp's line parameters: 9600 baud, 8 data bits, no parity, one stop bit,
// and no wait for carrier. Every other parameter keeps what the driver reports.
void SetLampLineParameters(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return;
    }
    cfsetispeed(&tio, B9600);
    cfsetospeed(&tio, B9600);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB);
    tio.c_cflag |= CS8 | CLOCAL;
    tcsetattr(fd, TCSANOW, &tio);
}

// What a user without access needs: the device's group ("dialout" for serial
// ports on Debian), which counts from the next login.
std::string PermissionHint(const char* path) {
    struct stat status {};
    group entry{};
    group* found = nullptr;
    std::vector<char> buffer(16384);
    const std::string group =
        ::stat(path, &status) == 0 &&
                ::getgrgid_r(status.st_gid, &entry, buffer.data(), buffer.size(), &found) == 0 &&
                found != nullptr
            ? std::string(" ") + found->gr_name
            : ", usually dialout,";
    return " (add the user to the device's group" + group + " then log in again)";
}

// The lamp stays dark; the user learns why once, when the port is opened.
void TellWhyNotOpened(const char* path, const std::string& reason) {
    TellUser("cannot open the serial lamp's port " + std::string(path) + ": " + reason);
}

// fd 0 is a valid descriptor, but handle 0 means closed.
SerialHandle HandleOf(int fd) {
    return static_cast<SerialHandle>(fd) + 1;
}

class LinuxSerialLineDriver final : public SerialLineDriver {
  public:
    SerialHandle OpenPort(int portNumber) override {
        const std::string path = SerialPortDeviceName(portNumber);
        if (path.empty()) {
            TellUser("the serial lamp's port " + std::to_string(portNumber) +
                     " names no device; choose one in Settings.");
            return 0;
        }
        return OpenSerialDevice(path.c_str());
    }

    void ClosePort(SerialHandle handle) override { CloseSerialDevice(handle); }

    void DriveLine(SerialHandle handle, LineLevel level) override {
        int bits = level.line == ModemLine::Dtr ? TIOCM_DTR : TIOCM_RTS;
        ioctl(SerialDeviceFd(handle), level.raised ? TIOCMBIS : TIOCMBIC, &bits);
    }
};

}  // namespace

SerialHandle OpenSerialDevice(const char* path) {
    // Non-blocking, or a port without carrier would hang the open.
    FileDescriptor device(open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!device.IsOpen()) {
        const int error = errno;
        std::string reason = std::generic_category().message(error);
        if (error == EACCES || error == EPERM) {
            reason += PermissionHint(path);
        }
        TellWhyNotOpened(path, reason);
        return 0;
    }
    if (isatty(device.get()) == 0) {
        TellWhyNotOpened(path, "not a serial device");
        return 0;
    }
    // flock also keeps out root, which TIOCEXCL lets through, and another
    // instance that has the device open already.
    if (flock(device.get(), LOCK_EX | LOCK_NB) != 0) {
        TellWhyNotOpened(path, "another program is using it");
        return 0;
    }
    ioctl(device.get(), TIOCEXCL);
    SetLampLineParameters(device.get());
    return HandleOf(device.Release());
}

void CloseSerialDevice(SerialHandle handle) {
    const int fd = SerialDeviceFd(handle);
    if (fd < 0) {
        return;
    }
    // Let other programs open the device again.
    ioctl(fd, TIOCNXCL);
    close(fd);
}

int SerialDeviceFd(SerialHandle handle) {
    return static_cast<int>(handle - 1);
}

// Ports 1-20 in the order the Settings dialog offers them: USB adapters first,
// since most machines today have no built-in port.
std::string SerialPortDeviceName(int portNumber) {
    if (portNumber >= 1 && portNumber <= 8) {
        return "/dev/ttyUSB" + std::to_string(portNumber - 1);
    }
    if (portNumber >= 9 && portNumber <= 12) {
        return "/dev/ttyACM" + std::to_string(portNumber - 9);
    }
    if (portNumber >= 13 && portNumber <= 20) {
        return "/dev/ttyS" + std::to_string(portNumber - 13);
    }
    return {};
}

SerialLineDriver& SystemSerialLineDriver() {
    static LinuxSerialLineDriver driver;
    return driver;
}

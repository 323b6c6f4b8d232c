// A network namespace of the caller's own, so that the only traffic its
// interfaces see is the traffic it makes.
#pragma once

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace testsupport {

// Moves the calling thread (the whole process, if it has only one) into a new
// namespace with loopback up. Empty, or why not (the caller skips).
inline std::string EnterPrivateNetwork() {
    if (unshare(CLONE_NEWNET) != 0) {
        return std::string("cannot create a network namespace (needs root): ") +
               std::strerror(errno);
    }
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = fd >= 0 && ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    up = up && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    close(fd);
    return up ? std::string() : "cannot bring up loopback in the private namespace";
}

// Waits until the interface is up with its carrier on: a veth end drops what
// it is given until its peer is up, which a busy machine may take a moment for.
inline bool WaitUntilRunning(const char* name) {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    bool running = false;
    for (int attempt = 0; attempt < 2000 && fd >= 0 && !running; ++attempt) {
        ifreq request{};
        std::strncpy(request.ifr_name, name, IFNAMSIZ - 1);
        running = ioctl(fd, SIOCGIFFLAGS, &request) == 0 && (request.ifr_flags & IFF_RUNNING) != 0;
        if (!running) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    if (fd >= 0) {
        close(fd);
    }
    return running;
}

}  // namespace testsupport

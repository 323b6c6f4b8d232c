// A network namespace of the caller's own, so that the only traffic its
// interfaces see is the traffic it makes.
#pragma once

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

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

}  // namespace testsupport

// A network namespace of the caller's own, so that the only traffic its
// interfaces see is the traffic it makes.
#pragma once

#include <sched.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace testsupport {

// Moves the calling thread (the whole process, if it has only one) into a new
// namespace with loopback up. Empty, or why not (the caller skips). The
// commands the thread runs are its children, in its namespace.
inline std::string EnterPrivateNetwork() {
    if (unshare(CLONE_NEWNET) != 0) {
        return std::string("cannot create a network namespace (needs root): ") +
               std::strerror(errno);
    }
    return std::system("ip link set lo up") == 0 ? "" : "cannot bring up loopback";
}

}  // namespace testsupport

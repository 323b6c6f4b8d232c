// Runs a test body on a thread of its own inside a fresh network namespace, so
// that the only traffic its interfaces see is the traffic the test makes.
#pragma once

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

namespace testsupport {

// Brings the namespace's loopback interface up (a new namespace has it down).
inline bool BringLoopbackUp() {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool ok = ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
    ok = ok && ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    close(fd);
    return ok;
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

// Runs body on a new thread that has its own network namespace with loopback up.
// Returns an empty string, or why the namespace could not be made (the caller skips).
inline std::string RunInPrivateNetwork(const std::function<void()>& body) {
    std::string failure;
    std::thread worker([&] {
        // Namespaces belong to the thread, so the rest of the test process keeps its own.
        if (unshare(CLONE_NEWNET) != 0) {
            failure = std::string("cannot create a network namespace (needs root): ") +
                      std::strerror(errno);
            return;
        }
        if (!BringLoopbackUp()) {
            failure = "cannot bring up loopback in the private namespace";
            return;
        }
        body();
    });
    worker.join();
    return failure;
}

}  // namespace testsupport

// The single-instance lock of the Linux build.
#include "app/single_instance_linux.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

CInstanceLock::~CInstanceLock() {
    Release();
}

InstanceLockResult CInstanceLock::Acquire(const std::string& path) {
    Release();
    // Close-on-exec, so that a browser started from the About dialog does not
    // keep the lock after the program has ended. No symlinks: /tmp is shared.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return InstanceLockResult::Unavailable;
    }
    // A file of another user's could be held by them to keep us from starting.
    struct stat info {};
    if (fstat(fd, &info) != 0 || info.st_uid != geteuid() || !S_ISREG(info.st_mode)) {
        close(fd);
        return InstanceLockResult::Unavailable;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        close(fd);
        return error == EWOULDBLOCK ? InstanceLockResult::HeldElsewhere
                                    : InstanceLockResult::Unavailable;
    }
    m_fd = fd;
    return InstanceLockResult::Acquired;
}

void CInstanceLock::Release() {
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
}

std::string InstanceLockPath() {
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    if (runtimeDir != nullptr && runtimeDir[0] == '/') {
        return std::string(runtimeDir) + "/Velumin.lock";
    }
    return FallbackInstanceLockPath();
}

std::string FallbackInstanceLockPath() {
    return "/tmp/velumin-" + std::to_string(getuid()) + ".lock";
}

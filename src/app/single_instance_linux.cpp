// The single-instance lock of the Linux build.
#include "app/single_instance_linux.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <utility>

InstanceLockResult CInstanceLock::Acquire(const std::string& path) {
    Release();
    // Close-on-exec, so that a browser started from the About dialog does not
    // keep the lock after the program has ended. No symlinks: /tmp is shared.
    FileDescriptor file(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!file.IsOpen()) {
        return InstanceLockResult::Unavailable;
    }
    // A file of another user's could be held by them to keep us from starting.
    struct stat info {};
    if (fstat(file.get(), &info) != 0 || info.st_uid != geteuid() || !S_ISREG(info.st_mode)) {
        return InstanceLockResult::Unavailable;
    }
    if (flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK ? InstanceLockResult::HeldElsewhere
                                    : InstanceLockResult::Unavailable;
    }
    m_file = std::move(file);
    return InstanceLockResult::Acquired;
}

void CInstanceLock::Release() {
    m_file.Reset();
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

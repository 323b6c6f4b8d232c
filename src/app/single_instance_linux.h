// The single-instance lock of the Linux build: an flock on a file of the user's.
#pragma once

#include <string>

enum class InstanceLockResult {
    Acquired,
    // Another process holds the lock: another instance is running.
    HeldElsewhere,
    // No lock file could be opened; the program runs without the guard.
    Unavailable,
};

class CInstanceLock {
  public:
    CInstanceLock() = default;
    ~CInstanceLock();
    CInstanceLock(const CInstanceLock&) = delete;
    CInstanceLock& operator=(const CInstanceLock&) = delete;

    // Takes the lock on the file at path, creating it when needed.
    InstanceLockResult Acquire(const std::string& path);
    // Lets another instance start; harmless when nothing is held.
    void Release();
    bool Held() const { return m_fd >= 0; }

  private:
    int m_fd = -1;
};

// $XDG_RUNTIME_DIR/Velumin.lock, or the fallback without a runtime directory.
std::string InstanceLockPath();
// /tmp/velumin-<uid>.lock.
std::string FallbackInstanceLockPath();

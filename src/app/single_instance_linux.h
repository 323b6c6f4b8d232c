// The single-instance lock of the Linux build: an flock on a file of the user's.
#pragma once

#include <string>

#include "base/file_descriptor_linux.h"

enum class InstanceLockResult {
    Acquired,
    // Another process holds the lock: another instance is running.
    HeldElsewhere,
    // No lock file could be opened; the program runs without the guard.
    Unavailable,
};

class CInstanceLock {
  public:
    // Takes the lock on the file at path, creating it when needed.
    InstanceLockResult Acquire(const std::string& path);
    // Lets another instance start; harmless when nothing is held.
    void Release();

  private:
    FileDescriptor m_file;
};

// $XDG_RUNTIME_DIR/Velumin.lock, or the fallback without a runtime directory.
std::string InstanceLockPath();
// /tmp/velumin-<uid>.lock.
std::string FallbackInstanceLockPath();

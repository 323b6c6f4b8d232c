// A file descriptor that closes itself: the one owner of each descriptor that
// the Linux build opens and keeps.
#pragma once

#include <unistd.h>

#include <utility>

class FileDescriptor {
  public:
    FileDescriptor() = default;
    // Takes fd, which may be -1 for a failed open.
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { Reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.Release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            Reset();
            m_fd = other.Release();
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    // Hands the descriptor to the caller, who closes it.
    int Release() { return std::exchange(m_fd, -1); }
    // Closes now, so that a failing close (a delayed write error) can be seen.
    bool Close() { return ::close(Release()) == 0; }
    void Reset() {
        if (m_fd >= 0) {
            ::close(Release());
        }
    }

  private:
    int m_fd = -1;
};

// What every test program may need: waiting by condition, a directory of the
// test's own, whole files, and a body run in a child process.
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#endif

namespace testsupport {

// Polls condition every few milliseconds until it holds or the time is up.
template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

inline int CountOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh directory under the system's temporary one, removed with its content.
class TempDir {
  public:
    TempDir() { std::filesystem::create_directories(m_path); }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return m_path / name;
    }

  private:
    std::filesystem::path m_path = [] {
        std::random_device random;
        return std::filesystem::temp_directory_path() /
               ("velumin-test-" + std::to_string(random()) + std::to_string(random()));
    }();
};

#ifndef _WIN32
// The exit status of body, run in a child process: as an ordinary user when
// asked (under root, as nobody: root writes through permission bits), with
// standard output and error in the files out and err of streams when given;
// -1 when it did not end in time.
inline int InChild(const std::function<int()>& body, bool asNobody = false,
                   const std::filesystem::path& streams = {}) {
    const pid_t pid = fork();
    if (pid == 0) {
        for (const auto& [fd, name] : {std::pair{STDOUT_FILENO, "out"}, {STDERR_FILENO, "err"}}) {
            const int file = streams.empty() ? fd
                                             : open((streams / name).c_str(),
                                                    O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (dup2(file, fd) < 0) {
                _exit(90);
            }
        }
        if (asNobody && geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(90);
        }
        _exit(body());
    }
    int status = 0;
    if (!WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; })) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

}  // namespace testsupport

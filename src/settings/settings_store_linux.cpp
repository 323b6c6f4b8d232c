// The Linux ini store: our own reader and writer, saving by atomic replacement of the file.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "settings/ini_document.h"
#include "settings/settings_store.h"

namespace {

// Far beyond any settings file; a larger one is treated as unreadable rather
// than pulled into memory.
constexpr off_t kMaxIniSize = off_t{64} * 1024 * 1024;

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now so that a failing close (a delayed write error) can be seen.
    bool Close() { return ::close(std::exchange(m_fd, -1)) == 0; }

  private:
    int m_fd;
};

enum class ReadResult { Read, Missing, Failed };

// The whole file, with its permission bits. Only a file that does not exist is
// Missing; a directory, a device or an unreadable file is Failed.
ReadResult ReadWholeFile(const std::filesystem::path& path, std::string& bytes, mode_t& mode) {
    // Non-blocking, so that a FIFO in the file's place cannot hang the program.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.get() < 0) {
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size > kMaxIniSize) {
        return ReadResult::Failed;
    }
    mode = status.st_mode & 07777;
    bytes.clear();
    bytes.reserve(static_cast<std::size_t>(status.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return ReadResult::Failed;
        }
        if (got == 0) {
            return ReadResult::Read;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > static_cast<std::size_t>(kMaxIniSize)) {
            return ReadResult::Failed;
        }
    }
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

// Creates the directory and its missing parents, new ones private to the user.
bool MakeDirectories(const std::filesystem::path& directory) {
    struct stat existing {};
    if (::stat(directory.c_str(), &existing) == 0) {
        return S_ISDIR(existing.st_mode);
    }
    std::filesystem::path partial;
    for (const std::filesystem::path& part : directory) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    struct stat status {};
    return ::stat(directory.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// A link to the settings (kept with the user's other dotfiles) stays a link:
// the file it points to is the one replaced.
std::optional<std::filesystem::path> ReplacementTarget(const std::filesystem::path& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
        return path;
    }
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return std::nullopt;
    }
    std::filesystem::path target(resolved);
    std::free(resolved);
    return target;
}

class LinuxIniStore final : public SettingsStore {
  public:
    explicit LinuxIniStore(std::filesystem::path path) : m_path(std::move(path)) {}

    int ReadInt(std::string_view key, int defaultValue) override {
        const std::optional<std::string> value = Value(key);
        return ProfileIntFromValue(value ? std::optional<std::string_view>(*value) : std::nullopt,
                                   defaultValue);
    }

    std::string ReadText(std::string_view key) override {
        const std::optional<std::string> value = Value(key);
        return value ? std::string(ProfileTextFromValue(*value)) : std::string();
    }

    bool Write(std::span<const SettingsEntry> entries) override {
        const std::optional<std::filesystem::path> target = ReplacementTarget(m_path);
        if (!target) {
            return false;
        }
        const std::filesystem::path directory = target->parent_path();
        if (!directory.empty() && !MakeDirectories(directory)) {
            return false;
        }
        // A file we could not read is never replaced: its content would be lost.
        std::string bytes;
        mode_t mode = 0600;
        const ReadResult read = ReadWholeFile(*target, bytes, mode);
        if (read == ReadResult::Failed) {
            return false;
        }
        // A file without any write permission is read-only, as on Windows, even
        // to root, who could otherwise replace it.
        if (read == ReadResult::Read &&
            ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
             ::faccessat(AT_FDCWD, target->c_str(), W_OK, AT_EACCESS) != 0)) {
            return false;
        }
        IniDocument document = IniDocument::Parse(bytes);
        for (const SettingsEntry& entry : entries) {
            document.SetValue(kSettingsSection, entry.key, entry.text);
        }
        return Replace(*target, document.Serialize(), mode);
    }

  private:
    // The key's value in section "Settings"; nullopt when the file, the section
    // or the key is missing, or the file cannot be read.
    std::optional<std::string> Value(std::string_view key) const {
        std::string bytes;
        mode_t mode = 0;
        if (ReadWholeFile(m_path, bytes, mode) != ReadResult::Read) {
            return std::nullopt;
        }
        const IniDocument document = IniDocument::Parse(bytes);
        const std::optional<std::string_view> value = document.GetValue(kSettingsSection, key);
        return value ? std::optional<std::string>(*value) : std::nullopt;
    }

    // Writes a temporary file beside the target and renames it over the target,
    // so that the file is at every moment either the old one or the new one, whole.
    static bool Replace(const std::filesystem::path& target, const std::string& bytes,
                        mode_t mode) {
        const std::filesystem::path directory =
            target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
        std::string temporary =
            (directory / ("." + target.filename().string() + ".XXXXXX")).string();
        FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
        if (file.get() < 0) {
            return false;
        }
        const bool written = ::fchmod(file.get(), mode) == 0 && WriteAll(file.get(), bytes) &&
                             ::fsync(file.get()) == 0;
        if (!file.Close() || !written || ::rename(temporary.c_str(), target.c_str()) != 0) {
            ::unlink(temporary.c_str());
            return false;
        }
        // Make the rename itself durable; the save has already succeeded.
        FileDescriptor parent(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (parent.get() >= 0) {
            ::fsync(parent.get());
        }
        return true;
    }

    std::filesystem::path m_path;
};

}  // namespace

std::unique_ptr<SettingsStore> OpenIniStore(const std::filesystem::path& path) {
    return std::make_unique<LinuxIniStore>(path);
}

std::filesystem::path GetIniPath() {
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base directory rules say.
    std::filesystem::path config;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') {
        config = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home != nullptr && home[0] != '\0') {
            config = std::filesystem::path(home) / ".config";
        } else {
            passwd entry{};
            passwd* user = nullptr;
            std::vector<char> buffer(16384);
            if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &user) != 0) {
                user = nullptr;
            }
            config = std::filesystem::path(user != nullptr ? user->pw_dir : "/") / ".config";
        }
    }
    return config / "velumin" / "Velumin.ini";
}

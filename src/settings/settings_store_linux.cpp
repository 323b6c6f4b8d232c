// The Linux ini store: our own reader and writer, saving by atomic replacement of the file.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

#include "base/file_descriptor_linux.h"
#include "base/messages_linux.h"
#include "settings/ini_document.h"
#include "settings/settings_store.h"

namespace {

// Far beyond any settings file; a larger one is treated as unreadable rather
// than pulled into memory.
constexpr off_t kMaxIniSize = off_t{64} * 1024 * 1024;

// Why a read or a save failed: an errno value, or one of these.
constexpr int kNotRegularFile = -1;
constexpr int kReadOnlyFile = -2;

std::string Reason(int error) {
    if (error == kNotRegularFile) {
        return "not a regular file";
    }
    if (error == kReadOnlyFile) {
        return "the file is read-only";
    }
    return std::generic_category().message(error);
}

// The whole file, with its permission bits: 0, or why it could not be read.
// ENOENT means that it does not exist; a directory, a device or an unreadable
// file gives another reason.
int ReadWholeFile(const std::filesystem::path& path, std::string& bytes, mode_t& mode) {
    // Non-blocking, so that a FIFO in the file's place cannot hang the program.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.get() < 0) {
        return errno;
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) {
        return errno;
    }
    if (!S_ISREG(status.st_mode)) {
        return S_ISDIR(status.st_mode) ? EISDIR : kNotRegularFile;
    }
    if (status.st_size > kMaxIniSize) {
        return EFBIG;
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
            return errno;
        }
        if (got == 0) {
            return 0;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > static_cast<std::size_t>(kMaxIniSize)) {
            return EFBIG;
        }
    }
}

int WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return wrote < 0 ? errno : EIO;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return 0;
}

// Creates the directory and its missing parents, new ones private to the user.
int MakeDirectories(const std::filesystem::path& directory) {
    struct stat existing {};
    if (::stat(directory.c_str(), &existing) == 0) {
        return S_ISDIR(existing.st_mode) ? 0 : ENOTDIR;
    }
    std::filesystem::path partial;
    for (const std::filesystem::path& part : directory) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            return errno;
        }
    }
    struct stat status {};
    if (::stat(directory.c_str(), &status) != 0) {
        return errno;
    }
    return S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
}

// A link to the settings (kept with the user's other dotfiles) stays a link:
// the file it points to is the one replaced.
int ReplacementTarget(const std::filesystem::path& path, std::filesystem::path& target) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
        target = path;
        return 0;
    }
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return errno;
    }
    target = resolved;
    std::free(resolved);
    return 0;
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

    // A failed save tells the user why; the values in force stay as they are.
    bool Write(std::span<const SettingsEntry> entries) override {
        const int error = Save(entries);
        if (error != 0) {
            TellUser("cannot save the settings to " + m_path.string() + ": " + Reason(error) +
                     " (they apply until velumin ends)");
        }
        return error == 0;
    }

  private:
    // 0, or why the save failed.
    int Save(std::span<const SettingsEntry> entries) {
        std::filesystem::path target;
        if (const int error = ReplacementTarget(m_path, target); error != 0) {
            return error;
        }
        const std::filesystem::path directory = target.parent_path();
        if (!directory.empty()) {
            if (const int error = MakeDirectories(directory); error != 0) {
                return error;
            }
        }
        // A file we could not read is never replaced: its content would be lost.
        std::string bytes;
        mode_t mode = 0600;
        const int read = ReadWholeFile(target, bytes, mode);
        if (read != 0 && read != ENOENT) {
            return read;
        }
        // A file without any write permission is read-only, as on Windows, even
        // to root, who could otherwise replace it.
        if (read == 0) {
            if ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
                return kReadOnlyFile;
            }
            if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
                return errno;
            }
        }
        IniDocument document = IniDocument::Parse(bytes);
        for (const SettingsEntry& entry : entries) {
            document.SetValue(kSettingsSection, entry.key, entry.text);
        }
        return Replace(target, document.Serialize(), mode);
    }

    // The key's value in section "Settings"; nullopt when the file, the section
    // or the key is missing, or the file cannot be read.
    std::optional<std::string> Value(std::string_view key) const {
        std::string bytes;
        mode_t mode = 0;
        if (ReadWholeFile(m_path, bytes, mode) != 0) {
            return std::nullopt;
        }
        const IniDocument document = IniDocument::Parse(bytes);
        const std::optional<std::string_view> value = document.GetValue(kSettingsSection, key);
        return value ? std::optional<std::string>(*value) : std::nullopt;
    }

    // Writes a temporary file beside the target and renames it over the target,
    // so that the file is at every moment either the old one or the new one, whole.
    static int Replace(const std::filesystem::path& target, const std::string& bytes, mode_t mode) {
        const std::filesystem::path directory =
            target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
        std::string temporary =
            (directory / ("." + target.filename().string() + ".XXXXXX")).string();
        FileDescriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
        if (file.get() < 0) {
            return errno;
        }
        int error = ::fchmod(file.get(), mode) != 0 ? errno : WriteAll(file.get(), bytes);
        if (error == 0 && ::fsync(file.get()) != 0) {
            error = errno;
        }
        if (!file.Close() && error == 0) {
            error = errno;
        }
        if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) {
            error = errno;
        }
        if (error != 0) {
            ::unlink(temporary.c_str());
            return error;
        }
        // Make the rename itself durable; the save has already succeeded.
        FileDescriptor parent(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (parent.get() >= 0) {
            ::fsync(parent.get());
        }
        return 0;
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

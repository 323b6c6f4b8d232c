// The Linux ini store on real files: where the file lives, saves that cannot be made, and
// saves that replace the file whole.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "settings/settings_store.h"
#include "settings_test_files.h"

namespace {

using settingstest::Lamp;
using settingstest::ReadBytes;
using settingstest::TestLamps;
using settingstest::WriteBytes;

namespace fs = std::filesystem;

// Sets or clears an environment variable for one test and puts it back afterwards.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (m_old) {
            ::setenv(m_name, m_old->c_str(), 1);
        } else {
            ::unsetenv(m_name);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(SettingsIniPath, FollowsTheBaseDirectoryRules) {
    ScopedEnv home("HOME", "/home/someone");
    {
        ScopedEnv config("XDG_CONFIG_HOME", "/srv/conf");
        EXPECT_EQ(GetIniPath(), fs::path("/srv/conf/velumin/Velumin.ini"));
    }
    {
        ScopedEnv config("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ(GetIniPath(), fs::path("/home/someone/.config/velumin/Velumin.ini"));
    }
    {
        // Relative and empty values are not valid base directories.
        ScopedEnv config("XDG_CONFIG_HOME", "relative/conf");
        EXPECT_EQ(GetIniPath(), fs::path("/home/someone/.config/velumin/Velumin.ini"));
        ScopedEnv empty("XDG_CONFIG_HOME", "");
        EXPECT_EQ(GetIniPath(), fs::path("/home/someone/.config/velumin/Velumin.ini"));
    }
}

std::vector<std::string> DirectoryEntries(const fs::path& directory) {
    std::vector<std::string> names;
    std::transform(
        fs::directory_iterator(directory), fs::directory_iterator(), std::back_inserter(names),
        [](const fs::directory_entry& entry) { return entry.path().filename().string(); });
    return names;
}

// A record whose values differ from every default, so a save always changes the file.
void FillDistinct(LampSettingsRecord& settings) {
    settings.useKeyboardLed = 1;
    settings.useReceiveLed = 1;
    settings.useSendLed = 0;
    settings.receiveLed = Lamp(2);
    settings.sendLed = Lamp(1);
    settings.serialPortNum = 6;
    settings.useSerialLed = 1;
    settings.ledInversion = 1;
}

bool HoldsDistinct(const LampSettingsRecord& settings) {
    return settings.useKeyboardLed == 1 && settings.useReceiveLed == 1 &&
           settings.useSendLed == 0 && settings.receiveLed == Lamp(2) &&
           settings.sendLed == Lamp(1) && settings.serialPortNum == 6 &&
           settings.useSerialLed == 1 && settings.ledInversion == 1;
}

// Runs body in a child process and gives its exit status (-1 when it did not exit).
int RunInChild(const std::function<int()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// Root writes through any permission bits, so the child gives up root for the
// unprivileged "nobody" before it runs body; an ordinary user runs it as is.
int RunAsOrdinaryUser(const std::function<int()>& body) {
    return RunInChild([&body] {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return 90;
        }
        return body();
    });
}

class SettingsLinuxFile : public settingstest::TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        // Reachable for the unprivileged child; what it may change is set per test.
        fs::permissions(m_dir, fs::perms(0755));
    }
    void TearDown() override {
        std::error_code ignored;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(m_dir, ignored)) {
            if (entry.is_directory() && !entry.is_symlink()) {
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
            }
        }
        TempDirTest::TearDown();
    }

    static bool Save(const fs::path& ini, const LampSettingsRecord& settings) {
        return SaveSettings(settings, *OpenIniStore(ini), TestLamps());
    }
    static void Load(const fs::path& ini, LampSettingsRecord& settings) {
        LoadSettings(settings, *OpenIniStore(ini), TestLamps());
    }
};

TEST_F(SettingsLinuxFile, SaveCreatesTheMissingDirectoriesPrivateToTheUser) {
    const fs::path ini = m_dir / "config" / "velumin" / "Velumin.ini";
    LampSettingsRecord settings(Lamp(0), Lamp(1));
    FillDistinct(settings);
    ASSERT_TRUE(Save(ini, settings));
    EXPECT_EQ(fs::status(m_dir / "config" / "velumin").permissions(), fs::perms(0700));

    LampSettingsRecord loaded(Lamp(0), Lamp(0));
    Load(ini, loaded);
    EXPECT_TRUE(HoldsDistinct(loaded));
}

TEST_F(SettingsLinuxFile, UnwritableDirectoryChangesNothingAndTheValuesStay) {
    const fs::path locked = m_dir / "locked";
    fs::create_directory(locked);
    const fs::path ini = locked / "Velumin.ini";
    const std::string before = "; mine\n[Settings]\nSerialPortNum=3\n[Other]\nKey=1\n";
    WriteBytes(ini, before);
    // The file itself may be written, so only an in-place writer could change it.
    fs::permissions(ini, fs::perms(0666));
    fs::permissions(locked, fs::perms(0555));

    const int status = RunAsOrdinaryUser([&ini] {
        LampSettingsRecord settings(Lamp(0), Lamp(1));
        Load(ini, settings);
        if (settings.serialPortNum != 3) {
            return 1;
        }
        FillDistinct(settings);
        if (Save(ini, settings)) {
            return 2;
        }
        return HoldsDistinct(settings) ? 0 : 3;
    });
    EXPECT_EQ(status, 0) << "1: not loaded, 2: save reported success, 3: values changed";
    EXPECT_EQ(ReadBytes(ini), before);
    EXPECT_THAT(DirectoryEntries(locked), ::testing::ElementsAre("Velumin.ini"));
}

TEST_F(SettingsLinuxFile, UnreadableFileCountsAsMissingAndIsNeverReplaced) {
    const fs::path ini = m_dir / "Velumin.ini";
    const std::string before = "[Settings]\nUseKeybordLed=1\nSerialPortNum=3\n";
    WriteBytes(ini, before);
    fs::permissions(ini, fs::perms::none);
    fs::permissions(m_dir, fs::perms(0777));

    const int status = RunAsOrdinaryUser([&ini] {
        LampSettingsRecord settings(Lamp(0), Lamp(1));
        Load(ini, settings);
        if (settings.useKeyboardLed != 0 || settings.serialPortNum != 1) {
            return 1;
        }
        return Save(ini, settings) ? 2 : 0;
    });
    EXPECT_EQ(status, 0) << "1: not the defaults, 2: save replaced a file it could not read";
    EXPECT_EQ(ReadBytes(ini), before);
    EXPECT_THAT(DirectoryEntries(m_dir), ::testing::ElementsAre("Velumin.ini"));
}

TEST_F(SettingsLinuxFile, ReadOnlyFileIsReadButNotReplaced) {
    const fs::path ini = m_dir / "Velumin.ini";
    const std::string before = "[Settings]\nSerialPortNum=3\n";
    WriteBytes(ini, before);
    fs::permissions(ini, fs::perms(0444));

    LampSettingsRecord settings(Lamp(0), Lamp(1));
    Load(ini, settings);
    EXPECT_EQ(settings.serialPortNum.load(), 3);
    FillDistinct(settings);
    EXPECT_FALSE(Save(ini, settings));
    EXPECT_TRUE(HoldsDistinct(settings));
    EXPECT_EQ(ReadBytes(ini), before);
}

TEST_F(SettingsLinuxFile, PathThatCannotHoldAFileGivesDefaultsAndSavesNothing) {
    // The path is a directory, or its parent is a regular file.
    const fs::path isDirectory = m_dir / "Velumin.ini";
    fs::create_directory(isDirectory);
    WriteBytes(m_dir / "plain", "not a directory");
    const fs::path underFile = m_dir / "plain" / "Velumin.ini";

    for (const fs::path& ini : {isDirectory, underFile}) {
        LampSettingsRecord settings(Lamp(0), Lamp(1));
        Load(ini, settings);
        EXPECT_EQ(settings.serialPortNum.load(), 1) << ini;
        EXPECT_EQ(settings.sendLed.load(), Lamp(0)) << ini;
        FillDistinct(settings);
        EXPECT_FALSE(Save(ini, settings)) << ini;
        EXPECT_TRUE(HoldsDistinct(settings));
    }
    EXPECT_TRUE(fs::is_directory(isDirectory));
    EXPECT_TRUE(fs::is_empty(isDirectory));
    EXPECT_EQ(ReadBytes(m_dir / "plain"), "not a directory");
    EXPECT_THAT(DirectoryEntries(m_dir), ::testing::UnorderedElementsAre("Velumin.ini", "plain"));
}

TEST_F(SettingsLinuxFile, SaveReplacesTheFileWholeAndKeepsItsMode) {
    const fs::path ini = m_dir / "Velumin.ini";
    const std::string before = "[Settings]\nSerialPortNum=3\n";
    WriteBytes(ini, before);
    fs::permissions(ini, fs::perms(0640));
    struct stat old {};
    ASSERT_EQ(::stat(ini.c_str(), &old), 0);
    // A reader that opened the file before the save goes on reading the old file, whole.
    std::ifstream reader(ini, std::ios::binary);
    ASSERT_TRUE(reader.is_open());

    LampSettingsRecord settings(Lamp(0), Lamp(1));
    FillDistinct(settings);
    ASSERT_TRUE(Save(ini, settings));

    const std::string seen((std::istreambuf_iterator<char>(reader)),
                           std::istreambuf_iterator<char>());
    EXPECT_EQ(seen, before);

    struct stat now {};
    ASSERT_EQ(::stat(ini.c_str(), &now), 0);
    EXPECT_NE(now.st_ino, old.st_ino);
    EXPECT_EQ(now.st_mode & 07777, 0640u);
    EXPECT_THAT(DirectoryEntries(m_dir), ::testing::ElementsAre("Velumin.ini"));
    LampSettingsRecord loaded(Lamp(0), Lamp(0));
    Load(ini, loaded);
    EXPECT_TRUE(HoldsDistinct(loaded));
}

TEST_F(SettingsLinuxFile, WriteThatFailsHalfWayLeavesTheOldFileWhole) {
    const fs::path ini = m_dir / "Velumin.ini";
    std::string before = "[Settings]\nSerialPortNum=3\n[Notes]\n";
    for (int i = 0; i < 2000; ++i) {
        before += "Line" + std::to_string(i) + "=some text the user keeps here\n";
    }
    WriteBytes(ini, before);

    // The file size limit makes the temporary file's writes fail after 4 KiB, as a
    // full disk would.
    const int status = RunInChild([&ini] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit = {4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            return 90;
        }
        LampSettingsRecord settings(Lamp(0), Lamp(1));
        FillDistinct(settings);
        return Save(ini, settings) ? 1 : 0;
    });
    EXPECT_EQ(status, 0) << "1: a failed write reported success";
    EXPECT_EQ(ReadBytes(ini), before);
    EXPECT_THAT(DirectoryEntries(m_dir), ::testing::ElementsAre("Velumin.ini"));
}

TEST_F(SettingsLinuxFile, SaveKilledAtAnyMomentLeavesTheOldOrTheNewFile) {
    std::string foreign = "[Notes]\n";
    for (int i = 0; i < 20000; ++i) {
        foreign += "Line" + std::to_string(i) + "=kept through every save\n";
    }
    // The two files the saves alternate between, made by real saves.
    LampSettingsRecord first(Lamp(0), Lamp(1));
    LampSettingsRecord second(Lamp(0), Lamp(1));
    FillDistinct(second);
    std::vector<std::string> whole;
    for (const LampSettingsRecord* settings : {&first, &second}) {
        const fs::path sample = m_dir / ("sample" + std::to_string(whole.size()) + ".ini");
        WriteBytes(sample, foreign);
        ASSERT_TRUE(Save(sample, *settings));
        whole.push_back(ReadBytes(sample));
    }
    const fs::path ini = m_dir / "kill" / "Velumin.ini";
    fs::create_directory(ini.parent_path());
    WriteBytes(ini, whole[0]);

    for (int round = 0; round < 20; ++round) {
        int ready[2];
        ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int i = 0;; ++i) {
                Save(ini, i % 2 == 0 ? second : first);
                if (i == round % 3) {
                    (void)!::write(ready[1], "x", 1);
                }
            }
        }
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        const std::string now = ReadBytes(ini);
        EXPECT_TRUE(now == whole[0] || now == whole[1])
            << "round " << round << ": " << now.size() << " bytes, neither file whole";
    }
}

TEST_F(SettingsLinuxFile, LinkToTheFileStaysALink) {
    fs::create_directory(m_dir / "dotfiles");
    fs::create_directory(m_dir / "velumin");
    const fs::path target = m_dir / "dotfiles" / "velumin.ini";
    const fs::path ini = m_dir / "velumin" / "Velumin.ini";
    WriteBytes(target, "[Settings]\nSerialPortNum=3\n");
    fs::create_symlink("../dotfiles/velumin.ini", ini);

    LampSettingsRecord settings(Lamp(0), Lamp(1));
    FillDistinct(settings);
    ASSERT_TRUE(Save(ini, settings));
    EXPECT_TRUE(fs::is_symlink(ini));
    LampSettingsRecord loaded(Lamp(0), Lamp(0));
    Load(target, loaded);
    EXPECT_TRUE(HoldsDistinct(loaded));
}

TEST_F(SettingsLinuxFile, BadFilesLoadAndKeepTheirForeignBytes) {
    std::string garbage;
    for (unsigned i = 0; i < 65536; ++i) {
        // Pseudo-random bytes with no bracket, so they hold no section by chance.
        const auto byte = static_cast<char>((i * 2654435761u) >> 24);
        garbage += byte == '[' ? ' ' : byte;
    }
    std::string large;
    while (large.size() < 10u * 1024 * 1024) {
        large += "Filler=" + std::string(90, 'f') + "\n";
    }
    const std::string longLine(100000, 'L');
    struct BadFile {
        std::string name;
        std::string bytes;
        int serialPort;  // as the file gives it; 1 is the default
    };
    const BadFile files[] = {
        {"garbage", garbage, 1},
        {"large", "[Junk]\n" + large + "[Settings]\nSerialPortNum=4\n", 4},
        {"long line", "[Settings]\n" + longLine + "\nSerialPortNum=4\n", 4},
        {"no line end", "[Settings]\nSerialPortNum=4", 4},
        {"byte-order mark", "\xEF\xBB\xBF[Settings]\r\nSerialPortNum=4\r\n", 4},
    };
    for (const BadFile& file : files) {
        const fs::path ini = m_dir / "Velumin.ini";
        WriteBytes(ini, file.bytes);
        LampSettingsRecord settings(Lamp(0), Lamp(1));
        Load(ini, settings);
        EXPECT_EQ(settings.serialPortNum.load(), file.serialPort) << file.name;

        FillDistinct(settings);
        ASSERT_TRUE(Save(ini, settings)) << file.name;
        const std::string saved = ReadBytes(ini);
        // Everything before the settings' own lines is kept byte for byte.
        const std::size_t ours = std::min(file.bytes.find("SerialPortNum"), file.bytes.size());
        EXPECT_EQ(saved.substr(0, ours), file.bytes.substr(0, ours)) << file.name;
        LampSettingsRecord loaded(Lamp(0), Lamp(0));
        Load(ini, loaded);
        EXPECT_TRUE(HoldsDistinct(loaded)) << file.name;
    }
}

}  // namespace

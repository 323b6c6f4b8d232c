// The Linux ini store on real files: where the file lives, the saves it must
// refuse, and saves that replace the file whole.
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <csignal>

#include "fakes/lamp_rig.h"
#include "settings/settings_store.h"
#include "support/files.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;

TEST(SettingsIniPath, FollowsTheBaseDirectoryRules) {
    testsupport::ScopedEnv home("HOME", "/home/someone");
    const std::pair<const char*, const char*> cases[] = {
        {"/srv/conf", "/srv/conf/velumin/Velumin.ini"},
        {nullptr, "/home/someone/.config/velumin/Velumin.ini"},
        {"relative/conf", "/home/someone/.config/velumin/Velumin.ini"},
        {"", "/home/someone/.config/velumin/Velumin.ini"},
    };
    for (const auto& [config, path] : cases) {
        testsupport::ScopedEnv xdg("XDG_CONFIG_HOME", config);
        EXPECT_EQ(GetIniPath(), fs::path(path)) << (config != nullptr ? config : "(unset)");
    }
}

// A save that cannot reach the disk whole reports so, leaves the file and the
// directory as they were, and keeps the values in memory.
TEST(SettingsLinuxFile, RefusedSavesChangeNothing) {
    struct Refusal {
        const char* what;
        const char* file;  // where Velumin.ini is made; "plain" is a file, "locked" a directory
        fs::perms fileMode;
        int loaded;  // SerialPortNum as loaded; 1 is the default
        bool ordinaryUser;
        bool diskFull;
    };
    const Refusal refusals[] = {
        {"unwritable directory", "locked/Velumin.ini", fs::perms(0666), 3, true, false},
        {"unreadable file", "Velumin.ini", fs::perms::none, 1, true, false},
        {"read-only file", "Velumin.ini", fs::perms(0444), 3, false, false},
        {"a file for its directory", "plain/Velumin.ini", fs::perms(0666), 1, false, false},
        {"a disk that fills half-way", "Velumin.ini", fs::perms(0666), 3, false, true},
    };
    for (const Refusal& refusal : refusals) {
        testsupport::TempDir dir;
        fs::permissions(dir.path(), fs::perms(0777));  // reachable for the ordinary user
        const fs::path ini = dir / refusal.file;
        fs::create_directory(dir / "locked");
        WriteFile(dir / "plain", "not a directory");
        if (fs::is_directory(ini.parent_path())) {
            WriteFile(ini,
                      "[Settings]\nSerialPortNum=3\n[Notes]\n" + std::string(8192, 'n') + "\n");
            fs::permissions(ini, refusal.fileMode);
        }
        fs::permissions(dir / "locked", fs::perms(0555));
        const auto listing = [&dir] {
            std::string names;
            for (const auto& entry : fs::recursive_directory_iterator(dir.path())) {
                names += entry.path().filename().string() + " " +
                         (entry.is_regular_file() ? ReadFile(entry.path()) : "") + ";";
            }
            return names;
        };
        const std::string before = listing();
        const auto save = [&] {
            if (refusal.diskFull) {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit = {4096, 4096};
                setrlimit(RLIMIT_FSIZE, &limit);
            }
            fakes::LampRig rig;
            LoadSettings(rig.settings, *OpenIniStore(ini), rig.lamps);
            if (rig.settings.serialPortNum != refusal.loaded) {
                return 1;
            }
            rig.settings.serialPortNum = 6;
            if (SaveSettings(rig.settings, *OpenIniStore(ini), rig.lamps)) {
                return 2;
            }
            return rig.settings.serialPortNum == 6 ? 0 : 3;
        };
        EXPECT_EQ(testsupport::InChild(save, refusal.ordinaryUser), 0)
            << refusal.what << " (1: wrong value loaded, 2: the save succeeded, 3: value lost)";
        EXPECT_EQ(listing(), before) << refusal.what;
    }
}

TEST(SettingsLinuxFile, SaveReplacesTheFileWholeKeepingItsModeAndALinkToIt) {
    testsupport::TempDir dir;
    fs::create_directories(dir / "dotfiles");
    fs::create_directories(dir / "config");
    for (const bool viaLink : {false, true}) {
        const fs::path file = dir / (viaLink ? "dotfiles/velumin.ini" : "Velumin.ini");
        const fs::path ini = viaLink ? dir / "config/Velumin.ini" : file;
        WriteFile(file, "[Settings]\nSerialPortNum=3\n");
        fs::permissions(file, fs::perms(0640));
        if (viaLink) {
            fs::create_symlink("../dotfiles/velumin.ini", ini);
        }
        struct stat old {};
        ASSERT_EQ(stat(file.c_str(), &old), 0);
        std::ifstream reader(file, std::ios::binary);  // opened before the save

        fakes::LampRig rig;
        rig.settings.serialPortNum = 6;
        ASSERT_TRUE(SaveSettings(rig.settings, *OpenIniStore(ini), rig.lamps));
        // The reader goes on reading the old file, whole; the name now holds the new one.
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(reader), {}),
                  "[Settings]\nSerialPortNum=3\n");
        struct stat now {};
        ASSERT_EQ(stat(file.c_str(), &now), 0);
        EXPECT_NE(now.st_ino, old.st_ino);
        EXPECT_EQ(now.st_mode & 07777, 0640u);
        EXPECT_EQ(OpenIniStore(file)->ReadInt("SerialPortNum", 1), 6);
        EXPECT_EQ(fs::is_symlink(ini), viaLink);
    }
    // Missing directories are made by the save, private to the user.
    fakes::LampRig rig;
    ASSERT_TRUE(
        SaveSettings(rig.settings, *OpenIniStore(dir / "new/velumin/Velumin.ini"), rig.lamps));
    EXPECT_EQ(fs::status(dir / "new/velumin").permissions(), fs::perms(0700));
}

// A file larger than any read buffer, with binary bytes before the section.
TEST(SettingsLinuxFile, LargeBinaryFileLoadsAndKeepsItsForeignBytes) {
    std::string garbage;
    for (unsigned i = 0; i < 200000; ++i) {
        const auto byte = static_cast<char>((i * 2654435761u) >> 24);
        garbage += byte == '[' ? ' ' : byte;  // no bracket: no section by chance
    }
    testsupport::TempDir dir;
    WriteFile(dir / "Velumin.ini", garbage + "\n[Settings]\nSerialPortNum=4\n");
    fakes::LampRig rig;
    LoadSettings(rig.settings, *OpenIniStore(dir / "Velumin.ini"), rig.lamps);
    EXPECT_EQ(rig.settings.serialPortNum.load(), 4);
    rig.settings.serialPortNum = 6;
    ASSERT_TRUE(SaveSettings(rig.settings, *OpenIniStore(dir / "Velumin.ini"), rig.lamps));
    EXPECT_EQ(ReadFile(dir / "Velumin.ini").substr(0, garbage.size()), garbage);
    EXPECT_EQ(OpenIniStore(dir / "Velumin.ini")->ReadInt("SerialPortNum", 1), 6);
}

}  // namespace

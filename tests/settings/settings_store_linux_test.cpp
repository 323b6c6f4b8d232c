// The Linux ini store on real files: the saves it must refuse, and saves that
// replace the file whole. (Where the file lives: the program's --help names it.)
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <csignal>
#include <tuple>

#include "fakes/lamp_rig.h"
#include "settings/settings_store.h"
#include "support/files.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::WriteFile;

// A save that cannot reach the disk whole says so in one line with the path,
// reports so, and leaves the file and the directory as they were.
TEST(SettingsLinuxFile, RefusedSavesChangeNothingAndAreNamed) {
    // Where Velumin.ini is made ("plain" is a file, "locked" a directory), its
    // mode, whether an ordinary user saves, whether the disk fills.
    for (const auto& [what, file, fileMode, ordinaryUser, diskFull] : {
             std::tuple{"unwritable directory", "locked/Velumin.ini", fs::perms(0666), true, false},
             {"unreadable file", "Velumin.ini", fs::perms::none, true, false},
             {"read-only file", "Velumin.ini", fs::perms(0444), false, false},
             {"a file for its directory", "plain/Velumin.ini", fs::perms(0666), false, false},
             {"a disk that fills half-way", "Velumin.ini", fs::perms(0666), false, true},
         }) {
        testsupport::TempDir dir;
        testsupport::TempDir streams;
        fs::permissions(dir.path(), fs::perms(0777));  // reachable for the ordinary user
        const fs::path ini = dir / file;
        fs::create_directory(dir / "locked");
        WriteFile(dir / "plain", "not a directory");
        if (fs::is_directory(ini.parent_path())) {
            WriteFile(ini,
                      "[Settings]\nSerialPortNum=3\n[Notes]\n" + std::string(8192, 'n') + "\n");
            fs::permissions(ini, fileMode);
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
            if (diskFull) {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit = {4096, 4096};
                setrlimit(RLIMIT_FSIZE, &limit);
            }
            fakes::LampRig rig;
            LoadSettings(rig.settings, *OpenIniStore(ini), rig.lamps);
            rig.settings.serialPortNum = 6;
            return SaveSettings(rig.settings, *OpenIniStore(ini), rig.lamps) ? 1 : 0;
        };
        EXPECT_EQ(testsupport::InChild(save, ordinaryUser, streams.path()), 0)
            << what << ": saved after all";
        EXPECT_EQ(listing(), before) << what;
        fs::permissions(dir / "locked", fs::perms(0755));  // to be emptied by a user too
        EXPECT_EQ(ReadFile(streams / "err")
                      .rfind("velumin: cannot save the settings to " + ini.string() + ": ", 0),
                  0u)
            << what << ": " << ReadFile(streams / "err");
    }
}

// Through a link to a file elsewhere (dotfiles), as directly.
TEST(SettingsLinuxFile, SaveReplacesTheFileWholeKeepingItsModeAndALinkToIt) {
    testsupport::TempDir dir;
    fs::create_directories(dir / "dotfiles");
    fs::create_directories(dir / "config");
    const fs::path file = dir / "dotfiles/velumin.ini";
    const fs::path ini = dir / "config/Velumin.ini";
    WriteFile(file, "[Settings]\nSerialPortNum=3\n");
    fs::permissions(file, fs::perms(0640));
    fs::create_symlink("../dotfiles/velumin.ini", ini);
    std::ifstream reader(file, std::ios::binary);  // opened before the save
    fakes::LampRig rig;
    rig.settings.serialPortNum = 6;
    ASSERT_TRUE(SaveSettings(rig.settings, *OpenIniStore(ini), rig.lamps));
    // The reader goes on reading the old file, whole; the name now holds the new one.
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(reader), {}),
              "[Settings]\nSerialPortNum=3\n");
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640));
    EXPECT_EQ(OpenIniStore(file)->ReadInt("SerialPortNum", 1), 6);
    EXPECT_TRUE(fs::is_symlink(ini));
    // Missing directories are made by the save, private to the user.
    ASSERT_TRUE(
        SaveSettings(rig.settings, *OpenIniStore(dir / "new/velumin/Velumin.ini"), rig.lamps));
    EXPECT_EQ(fs::status(dir / "new/velumin").permissions(), fs::perms(0700));
}

}  // namespace

// Where the Windows build keeps its ini file: beside the executable, however long
// its path (ctest also runs this from a copy under a path of over 260 characters,
// where a fixed-size buffer would cut it short).
#include <gtest/gtest.h>

#include <filesystem>

#include "settings/settings_store.h"

namespace {

TEST(SettingsIniPathWin, BesideTheRunningExecutable) {
    const std::filesystem::path ini = GetIniPath();
    EXPECT_TRUE(ini.is_absolute() && ini.filename() == L"Velumin.ini") << ini;
    EXPECT_TRUE(std::filesystem::is_regular_file(ini.parent_path() / L"velumin_platform_tests.exe"))
        << ini;
}

}  // namespace

// Where the Windows build keeps its ini file: beside the executable, however long its path.
#include <gtest/gtest.h>

#include <filesystem>

#include "settings/settings_store.h"

namespace {

namespace fs = std::filesystem;

// Also run from a copy of this program under a path of over 260 characters
// (run_from_long_path.sh), where a fixed-size buffer would cut the path short.
TEST(SettingsIniPathWin, BesideTheRunningExecutable) {
    const fs::path ini = GetIniPath();
    EXPECT_TRUE(ini.is_absolute()) << ini;
    EXPECT_EQ(ini.filename(), fs::path(L"Velumin.ini"));
    EXPECT_TRUE(fs::is_regular_file(ini.parent_path() / L"velumin_platform_tests.exe")) << ini;
}

}  // namespace

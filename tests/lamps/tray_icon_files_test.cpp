// The Windows build's icon files, which must be what the icon tool draws today
// from the pictures the Linux build's tray shows (their pixels on a tray are
// the end-to-end runs').
#include <gtest/gtest.h>

#include "support/files.h"

namespace {

TEST(TrayIconFiles, TreeHoldsWhatTheIconToolDraws) {
    testsupport::TempDir fresh;
    ASSERT_EQ(std::system((std::string(VELUMIN_MAKE_ICONS) + " " + fresh.path().string()).c_str()),
              0);
    for (const char* icon : {"velumin.ico", "idle.ico", "receive.ico", "send.ico", "both.ico",
                             "velumin-16.png", "velumin-32.png"}) {
        const std::string drawn = testsupport::ReadFile(fresh / icon);
        EXPECT_FALSE(drawn.empty()) << icon;
        EXPECT_TRUE(drawn ==
                    testsupport::ReadFile(std::string(VELUMIN_SOURCE_DIR) + "/res/icons/" + icon))
            << "res/icons/" << icon
            << " is stale: cmake --build --preset linux --target velumin_icons";
    }
}

}  // namespace

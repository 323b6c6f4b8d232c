// The Linux build's tray icon on a virtual desktop with trayer as the tray
// host, watched through the pixels it shows; and the Windows build's icon
// files, which must be what the icon tool draws today.
#include "lamps/tray_lamp_qt.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <thread>

#include "support/desktop_linux.h"

namespace {

TEST(TrayLampQt, DocksShowingIdleTakesEachPictureFromTheWorkerAndLeavesOnRemoval) {
    testsupport::VirtualDesktop desktop(true);
    setenv("DISPLAY", desktop.Display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");  // no bus: Qt docks into trayer by XEmbed
    int argc = 1;
    char name[] = "velumin_tests";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    testsupport::XDesktop screen(desktop.Display());
    const auto shows = [&screen](const std::string& picture) {
        std::string seen;
        const bool shown = testsupport::WaitFor([&] {
            QCoreApplication::processEvents();
            return (seen = screen.LampPicture()) == picture;
        });
        return shown ? ::testing::AssertionSuccess()
                     : ::testing::AssertionFailure() << picture << " expected, " << seen << " seen";
    };

    QtTrayLamp lamp;
    lamp.Add();
    EXPECT_EQ(lamp.Icon()->toolTip(), "VELUMIN");
    ASSERT_TRUE(shows("Idle"));
    for (const auto& [state, picture] : {std::pair{TrayLampState::Receive, "Receive"},
                                         {TrayLampState::Send, "Send"},
                                         {TrayLampState::Both, "Both"},
                                         {TrayLampState::Idle, "Idle"}}) {
        std::thread([&lamp, state = state] { lamp.Show(state); }).join();
        EXPECT_TRUE(shows(picture));
    }
    lamp.Remove();
    EXPECT_TRUE(shows("none"));
}

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

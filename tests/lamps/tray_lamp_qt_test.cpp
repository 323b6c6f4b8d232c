// The Linux build's tray icon on a virtual desktop with trayer as the tray
// host, watched through the pixels it shows on the X screen.
#include "lamps/tray_lamp_qt.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "support/tray_area_linux.h"
#include "support/virtual_desktop_linux.h"

namespace {

class TrayLampQt : public ::testing::Test {
  protected:
    // Qt reads the display and the session bus when the application starts;
    // without a bus it docks by XEmbed into the desktop's trayer.
    void StartApplication(bool withTray) {
        m_desktop = std::make_unique<testsupport::VirtualDesktop>(withTray);
        setenv("DISPLAY", m_desktop->Display().c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
        m_tray = std::make_unique<testsupport::TrayArea>(m_desktop->Display());
        m_lamp = std::make_unique<QtTrayLamp>();
    }

    void TearDown() override {
        m_lamp.reset();
        m_tray.reset();
        m_app.reset();
        m_desktop.reset();
    }

    // Runs the GUI thread's events until the tray shows the picture.
    ::testing::AssertionResult ShowsPicture(const std::string& expected) {
        std::string seen;
        const bool shown = testsupport::WaitFor([&] {
            QCoreApplication::processEvents();
            seen = m_tray->ShownLampPicture();
            return seen == expected;
        });
        if (shown) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "expected " << expected << ", the tray shows " << seen;
    }

    // Switches the way the worker does: from a thread of its own.
    void ShowFromWorker(TrayLampState state) {
        std::thread([this, state] { m_lamp->Show(state); }).join();
    }

    std::unique_ptr<testsupport::VirtualDesktop> m_desktop;
    std::unique_ptr<QApplication> m_app;
    std::unique_ptr<testsupport::TrayArea> m_tray;
    std::unique_ptr<QtTrayLamp> m_lamp;

  private:
    int m_argc = 1;
    char m_name[16] = "velumin_tests";
    char* m_argv[2] = {m_name, nullptr};
};

TEST_F(TrayLampQt, DocksShowingIdleSwitchesEveryPictureAndLeavesOnRemoval) {
    StartApplication(true);
    m_lamp->Add();
    EXPECT_EQ(m_lamp->Icon()->toolTip().toStdString(), "VELUMIN");
    ASSERT_TRUE(ShowsPicture("Idle"));

    ShowFromWorker(TrayLampState::Receive);
    EXPECT_TRUE(ShowsPicture("Receive"));
    ShowFromWorker(TrayLampState::Send);
    EXPECT_TRUE(ShowsPicture("Send"));
    ShowFromWorker(TrayLampState::Both);
    EXPECT_TRUE(ShowsPicture("Both"));
    ShowFromWorker(TrayLampState::Idle);
    EXPECT_TRUE(ShowsPicture("Idle"));

    m_lamp->Remove();
    EXPECT_TRUE(ShowsPicture("none"));
}

TEST_F(TrayLampQt, SwitchesRacingTheRemovalAreDropped) {
    StartApplication(true);
    m_lamp->Add();
    ASSERT_TRUE(ShowsPicture("Idle"));

    std::atomic<bool> stop{false};
    std::thread worker([this, &stop] {
        while (!stop) {
            m_lamp->Show(TrayLampState::Both);
            m_lamp->Show(TrayLampState::Idle);
        }
    });
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents();
    }
    m_lamp->Remove();
    stop = true;
    worker.join();
    // Whatever was still queued must neither touch the removed icon nor bring
    // it back.
    EXPECT_TRUE(ShowsPicture("none"));
    QCoreApplication::processEvents();
    EXPECT_EQ(m_tray->ShownLampPicture(), "none");
}

TEST_F(TrayLampQt, ComesBackWithItsPictureWhenTheTrayHostRestarts) {
    StartApplication(true);
    m_lamp->Add();
    ASSERT_TRUE(ShowsPicture("Idle"));
    ShowFromWorker(TrayLampState::Receive);
    ASSERT_TRUE(ShowsPicture("Receive"));

    m_desktop->StopTray();
    ASSERT_TRUE(ShowsPicture("none"));
    m_desktop->StartTray();
    EXPECT_TRUE(ShowsPicture("Receive"));
    ShowFromWorker(TrayLampState::Send);
    EXPECT_TRUE(ShowsPicture("Send"));
}

TEST_F(TrayLampQt, DocksWhenTheTrayHostStartsAfterTheIcon) {
    StartApplication(false);
    m_lamp->Add();
    ShowFromWorker(TrayLampState::Both);
    QCoreApplication::processEvents();

    m_desktop->StartTray();
    EXPECT_TRUE(ShowsPicture("Both"));
}

TEST_F(TrayLampQt, PicturesHaveTheLampColours) {
    // The images the icon is made of, before any scaling by the tray.
    struct Expected {
        TrayLampState state;
        QRgb left;
        QRgb right;
    };
    const Expected table[] = {
        {TrayLampState::Idle, qRgb(128, 0, 0), qRgb(0, 128, 0)},
        {TrayLampState::Receive, qRgb(128, 0, 0), qRgb(0, 255, 0)},
        {TrayLampState::Send, qRgb(255, 0, 0), qRgb(0, 128, 0)},
        {TrayLampState::Both, qRgb(255, 0, 0), qRgb(0, 255, 0)},
    };
    for (const Expected& expected : table) {
        const QImage image = TrayLampImage(expected.state);
        ASSERT_EQ(image.size(), QSize(32, 32));
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                ASSERT_EQ(image.pixel(x, y), x < 16 ? expected.left : expected.right)
                    << "state " << static_cast<int>(expected.state) << " at " << x << "," << y;
            }
        }
    }
}

}  // namespace

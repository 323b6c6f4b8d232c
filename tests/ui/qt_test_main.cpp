// Runs the Qt dialog tests on an X server of their own.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "support/desktop_linux.h"
#include "ui/modal_qt.h"

int main(int argc, char* argv[]) {
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests at build time needs no desktop.
    if (GTEST_FLAG_GET(list_tests)) {
        return RUN_ALL_TESTS();
    }
    testsupport::VirtualDesktop desktop;
    setenv("DISPLAY", desktop.Display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    QApplication app(argc, argv);
    // As the program sets them up: Qt's texts in Japanese, the window icon.
    SetUpDialogs(app);
    return RUN_ALL_TESTS();
}

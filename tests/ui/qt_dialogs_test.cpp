// The Qt dialogs on an X server of their own, for what the end-to-end runs do
// not see: the exchange of odd values, the port list, the question in Japanese.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>

#include "support/desktop_linux.h"
#include "ui/modal_qt.h"
#include "ui/settings_dialog_qt.h"

namespace {

template <typename Widget = QWidget>
Widget* Control(QDialog& dialog, int id) {
    return dialog.findChild<Widget*>(QString::number(id));
}

TEST(QtSettingsDialog, KeyListsFollowTheirBoxesAndEveryControlIsExchanged) {
    auto dialog = CreateSettingsDialog(SettingsForm{0, 1, 2, 1, 19, 1, 0});
    auto* ports = Control<QComboBox>(*dialog, 1021);
    // The port list names the devices that the port numbers open.
    QStringList names;
    for (int i = 0; i < ports->count(); ++i) {
        names << ports->itemText(i);
    }
    EXPECT_EQ(names.join(' '),
              "/dev/ttyUSB0 /dev/ttyUSB1 /dev/ttyUSB2 /dev/ttyUSB3 /dev/ttyUSB4 "
              "/dev/ttyUSB5 /dev/ttyUSB6 /dev/ttyUSB7 /dev/ttyACM0 /dev/ttyACM1 "
              "/dev/ttyACM2 /dev/ttyACM3 /dev/ttyS0 /dev/ttyS1 /dev/ttyS2 "
              "/dev/ttyS3 /dev/ttyS4 /dev/ttyS5 /dev/ttyS6 /dev/ttyS7");
    EXPECT_EQ(ports->currentText(), "/dev/ttyS7");
    Control<QCheckBox>(*dialog, 1012)->click();
    Control<QCheckBox>(*dialog, 1013)->click();
    EXPECT_TRUE(Control(*dialog, 1014)->isEnabled() && !Control(*dialog, 1015)->isEnabled());
    Control<QCheckBox>(*dialog, 1024)->click();
    Control<QComboBox>(*dialog, 1015)->setCurrentIndex(0);  // a greyed list's choice still counts
    ports->setCurrentIndex(8);
    EXPECT_EQ(ReadSettingsDialog(*dialog), (SettingsForm{1, 0, 2, 0, 8, 1, 1}));
    // Flags other than 0 and 1 show as off; a port outside the list shows none.
    for (const int port : {-1, 20}) {
        auto odd = CreateSettingsDialog(SettingsForm{2, -1, 0, 0, port, 7, 2});
        EXPECT_EQ(ReadSettingsDialog(*odd), (SettingsForm{0, 0, 0, 0, -1, 0, 0})) << port;
    }
}

// Enter and Y answer yes, Escape and N no; the buttons read as on a Japanese
// desktop, and the box carries the program's icon.
TEST(QtQuestionBox, AnswersInJapaneseWithTheKeysOfOld) {
    for (const auto& [key, yes] : {std::pair{Qt::Key_Return, true}, std::pair{Qt::Key_Y, true},
                                   std::pair{Qt::Key_Escape, false}, std::pair{Qt::Key_N, false}}) {
        QStringList texts;
        // Answered once the box is up and has the keyboard.
        QTimer answerer;
        QObject::connect(&answerer, &QTimer::timeout, [&, key = key] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeWindow());
            if (box != nullptr) {
                answerer.stop();
                for (QAbstractButton* button : box->buttons()) {
                    texts << button->text();
                }
                EXPECT_FALSE(box->windowIcon().isNull());
                QTest::keyClick(box, key);
            }
        });
        answerer.start(10);
        EXPECT_EQ(AskYesNo("終了しますか？"), yes) << key;
        texts.sort();
        EXPECT_EQ(texts, QStringList({"いいえ(&N)", "はい(&Y)"}));
    }
}

}  // namespace

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
    SetUpDialogs(app);  // as the program sets them up: Qt's texts in Japanese, the window icon
    return RUN_ALL_TESTS();
}

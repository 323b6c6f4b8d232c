// The Qt dialogs on a real X server, for what the end-to-end runs do not see:
// the exchange of odd values, the About text, Qt's own texts in Japanese.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

#include "ui/about_dialog_qt.h"
#include "ui/commands.h"
#include "ui/modal_qt.h"
#include "ui/settings_dialog_qt.h"

namespace {

template <typename Widget = QWidget>
Widget* Control(QDialog& dialog, int id) {
    return dialog.findChild<Widget*>(QString::number(id));
}

TEST(QtSettingsDialog, KeyListsFollowTheirBoxesAndEveryControlIsExchanged) {
    auto dialog = CreateSettingsDialog(SettingsForm{0, 1, 2, 1, 19, 1, 0});
    auto* receiveList = Control<QComboBox>(*dialog, 1014);
    auto* sendList = Control<QComboBox>(*dialog, 1015);
    EXPECT_FALSE(receiveList->isEnabled());
    EXPECT_EQ(sendList->currentText(), "ScrollLock");
    // The port list names the devices that the port numbers open.
    QStringList ports;
    for (int i = 0; i < Control<QComboBox>(*dialog, 1021)->count(); ++i) {
        ports << Control<QComboBox>(*dialog, 1021)->itemText(i);
    }
    EXPECT_EQ(ports.join(' '),
              "/dev/ttyUSB0 /dev/ttyUSB1 /dev/ttyUSB2 /dev/ttyUSB3 /dev/ttyUSB4 "
              "/dev/ttyUSB5 /dev/ttyUSB6 /dev/ttyUSB7 /dev/ttyACM0 /dev/ttyACM1 "
              "/dev/ttyACM2 /dev/ttyACM3 /dev/ttyS0 /dev/ttyS1 /dev/ttyS2 "
              "/dev/ttyS3 /dev/ttyS4 /dev/ttyS5 /dev/ttyS6 /dev/ttyS7");
    EXPECT_EQ(Control<QComboBox>(*dialog, 1021)->currentText(), "/dev/ttyS7");
    Control<QCheckBox>(*dialog, 1012)->click();
    EXPECT_TRUE(receiveList->isEnabled());
    Control<QCheckBox>(*dialog, 1013)->click();
    EXPECT_FALSE(sendList->isEnabled());
    Control<QCheckBox>(*dialog, 1023)->click();  // the serial controls follow no box
    EXPECT_TRUE(Control(*dialog, 1021)->isEnabled() && Control(*dialog, 1024)->isEnabled());
    Control<QCheckBox>(*dialog, 1024)->click();
    sendList->setCurrentIndex(0);  // a greyed list's choice still counts
    Control<QComboBox>(*dialog, 1021)->setCurrentIndex(8);
    EXPECT_EQ(ReadSettingsDialog(*dialog), (SettingsForm{1, 0, 2, 0, 8, 0, 1}));
    // Flags other than 0 and 1 show as off; a port outside the list shows none.
    for (const int port : {-1, 20}) {
        auto odd = CreateSettingsDialog(SettingsForm{2, -1, 0, 0, port, 7, 2});
        EXPECT_EQ(ReadSettingsDialog(*odd), (SettingsForm{0, 0, 0, 0, -1, 0, 0})) << port;
    }
}

class RecordingWebPage final : public WebPageHost {
  public:
    bool Ask(const std::string& /*question*/) override { return true; }
    void OpenUrl(const std::string& url) override { opened += url; }
    std::string opened;
};

TEST(QtAboutDialog, ShowsItsTextCentredAndReadOnly) {
    RecordingWebPage web;
    auto dialog = CreateAboutDialog("Velumin\r\nline two\r\n", "http://velumin.example/p", web);
    dialog->show();
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    auto* text = dialog->findChild<QTextEdit*>("1009");
    for (QTextBlock block = text->document()->begin(); block.isValid(); block = block.next()) {
        EXPECT_TRUE(block.blockFormat().alignment() & Qt::AlignHCenter);
    }
    // Typing changes nothing, and Enter in the text does not end the dialog.
    QSignalSpy finished(dialog.get(), &QDialog::finished);
    text->setFocus();
    QTest::keyClicks(text, "xyz");
    QTest::keyClick(text, Qt::Key_Delete);
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_EQ(text->toPlainText(), "Velumin\nline two\n");
    QTest::keyClick(text, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(text->textCursor().selectedText().size(), text->toPlainText().size());
    EXPECT_EQ(finished.count(), 0);
    Control<QAbstractButton>(*dialog, 1007)->click();
    EXPECT_EQ(web.opened, "http://velumin.example/p");
}

// Enter and Y answer yes, Escape and N no; the buttons read as on a Japanese
// desktop, with はい the default, and the box carries the program's icon.
TEST(QtQuestionBox, AnswersInJapaneseWithTheKeysOfOld) {
    for (const auto& [key, yes] : {std::pair{Qt::Key_Return, true}, std::pair{Qt::Key_Y, true},
                                   std::pair{Qt::Key_Escape, false}, std::pair{Qt::Key_N, false}}) {
        QStringList texts;
        QString defaultText;
        // Answered once the box is up and has the keyboard.
        QTimer answerer;
        QObject::connect(&answerer, &QTimer::timeout, [&, key = key] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeWindow());
            if (box != nullptr) {
                answerer.stop();
                for (QAbstractButton* button : box->buttons()) {
                    texts << button->text();
                }
                defaultText = box->defaultButton()->text();
                EXPECT_FALSE(box->windowIcon().isNull());
                QTest::keyClick(box, key);
            }
        });
        answerer.start(10);
        EXPECT_EQ(AskYesNo("終了しますか？"), yes) << key;
        texts.sort();
        EXPECT_EQ(texts, QStringList({"いいえ(&N)", "はい(&Y)"}));
        EXPECT_EQ(defaultText, "はい(&Y)");
    }
}

// The application's icon is the question box's; its translations show here.
TEST(QtDialogLook, TextMenuIsJapanese) {
    RecordingWebPage web;
    const auto about = CreateAboutDialog("Velumin\r\n", "http://x/", web);
    const std::unique_ptr<QMenu> menu(about->findChild<QTextEdit*>()->createStandardContextMenu());
    int named = 0;
    for (const QAction* action : menu->actions()) {
        // The shortcut after the tab and the access key in brackets stay Latin.
        QString text = action->text().section('\t', 0, 0);
        text.remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
        named += text.isEmpty() ? 0 : 1;
        EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))))
            << text.toStdString();
    }
    EXPECT_GE(named, 2) << "copy and select all";
}

}  // namespace

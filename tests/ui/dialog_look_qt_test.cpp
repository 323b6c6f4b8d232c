// What the Qt build's dialogs show beyond their own texts: Qt's standard texts
// in Japanese, the program's icon, and the About dialog's equal buttons.
#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextEdit>
#include <QTimer>
#include <memory>

#include "qt_test_support.h"
#include "ui/about_dialog_qt.h"
#include "ui/commands.h"
#include "ui/modal_qt.h"
#include "ui/settings_dialog_qt.h"

namespace {

class NoWebPage final : public WebPageHost {
  public:
    bool Ask(const std::string& /*question*/) override { return false; }
    void OpenUrl(const std::string& /*url*/) override {}
};

class QtDialogLook : public testing::Test {
  protected:
    static void SetUpTestSuite() { SetUpDialogs(*qApp); }
};

// Enter and Y answer yes, Escape and N no, as before; the buttons read as on a
// Japanese desktop, with はい the default.
TEST_F(QtDialogLook, QuestionBoxAnswersInJapaneseWithTheSameKeys) {
    const std::pair<Qt::Key, bool> answers[] = {
        {Qt::Key_Return, true}, {Qt::Key_Y, true}, {Qt::Key_Escape, false}, {Qt::Key_N, false}};
    for (const auto& [key, yes] : answers) {
        QStringList texts;
        QString defaultText;
        bool hasIcon = false;
        QTimer answerer;
        answerer.setSingleShot(true);
        QObject::connect(&answerer, &QTimer::timeout, [&, key = key] {
            QMessageBox* box = nullptr;
            qttest::WaitFor([&box] {
                box = qttest::VisibleWindow<QMessageBox>();
                return box != nullptr && box->isActiveWindow();
            });
            if (box != nullptr) {
                for (QAbstractButton* button : box->buttons()) {
                    texts << button->text();
                }
                defaultText = box->defaultButton()->text();
                hasIcon = !box->windowIcon().isNull();
                QTest::keyClick(box, key);
            }
        });
        answerer.start(0);
        EXPECT_EQ(AskYesNo("終了しますか？"), yes) << key;
        texts.sort();
        EXPECT_EQ(texts, QStringList({"いいえ(&N)", "はい(&Y)"}));
        EXPECT_EQ(defaultText, "はい(&Y)");
        EXPECT_TRUE(hasIcon);
    }
}

TEST_F(QtDialogLook, TextBoxMenuIsJapaneseAndDialogsCarryTheIcon) {
    NoWebPage web;
    const std::unique_ptr<QDialog> about = CreateAboutDialog("Velumin\r\n", "http://x/", web);
    const std::unique_ptr<QDialog> settings = CreateSettingsDialog(SettingsForm{});
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
    EXPECT_FALSE(about->windowIcon().isNull());
    EXPECT_FALSE(settings->windowIcon().isNull());

    ASSERT_TRUE(qttest::ShowActive(*about));
    const QList<QPushButton*> buttons = about->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_EQ(buttons[0]->width(), buttons[1]->width());
}

}  // namespace

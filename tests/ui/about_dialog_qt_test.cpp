// The Qt About dialog on a real X server: controls, the centred read-only
// text, focus, keys, and the web-page button's question.
#include "ui/about_dialog_qt.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <string>
#include <vector>

#include "qt_test_support.h"
#include "ui/commands.h"
#include "ui/modal_qt.h"

namespace {

const std::string kAboutText =
    "Velumin Version1.00\r\n(C) The Velumin developers\r\n\r\nhttp://velumin.example/hw/\r\n";
const std::string kPage = "http://velumin.example/hw/software/velumin/index.html";

class RecordingWebPage final : public WebPageHost {
  public:
    bool Ask(const std::string& question) override {
        questions.push_back(question);
        return answer;
    }
    void OpenUrl(const std::string& url) override { opened.push_back(url); }

    bool answer = false;
    std::vector<std::string> questions;
    std::vector<std::string> opened;
};

class QtAboutDialog : public testing::Test {
  protected:
    RecordingWebPage web;
    std::unique_ptr<QDialog> dialog = CreateAboutDialog(kAboutText, kPage, web);

    QTextEdit* Text() { return dialog->findChild<QTextEdit*>("1009"); }
    QPushButton* Button(const char* id) { return dialog->findChild<QPushButton*>(id); }
};

TEST_F(QtAboutDialog, ShowsFourCentredReadOnlyLines) {
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("このプログラムについて"));
    ASSERT_NE(Button("1"), nullptr);
    ASSERT_NE(Button("1007"), nullptr);
    ASSERT_NE(Text(), nullptr);
    EXPECT_EQ(Button("1")->text(), QStringLiteral("OK"));
    EXPECT_TRUE(Button("1")->isDefault());
    EXPECT_EQ(Button("1007")->text(), QStringLiteral("作者Webページ"));

    QTextEdit* text = Text();
    EXPECT_EQ(text->toPlainText(),
              QStringLiteral("Velumin Version1.00\n(C) The Velumin developers\n\n"
                             "http://velumin.example/hw/\n"));
    for (QTextBlock block = text->document()->begin(); block.isValid(); block = block.next()) {
        EXPECT_TRUE(block.blockFormat().alignment() & Qt::AlignHCenter)
            << block.text().toStdString();
    }
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_TRUE(text->textInteractionFlags() & Qt::TextSelectableByMouse);
    EXPECT_TRUE(text->textInteractionFlags() & Qt::TextSelectableByKeyboard);
    EXPECT_EQ(text->lineWrapMode(), QTextEdit::NoWrap);
    EXPECT_EQ(text->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST_F(QtAboutDialog, TextCannotBeChangedButCanBeSelected) {
    ASSERT_TRUE(qttest::ShowActive(*dialog));
    Text()->setFocus();
    QTest::keyClicks(Text(), "xyz");
    QTest::keyClick(Text(), Qt::Key_Delete);
    EXPECT_TRUE(Text()->toPlainText().startsWith("Velumin Version1.00\n"));
    QTest::keyClick(Text(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Text()->textCursor().selectedText().size(), Text()->toPlainText().size());
}

TEST_F(QtAboutDialog, FocusStartsOnOkAndTabsInTemplateOrder) {
    ASSERT_TRUE(qttest::ShowActive(*dialog));
    EXPECT_EQ(qttest::TabChain(3), (std::vector<std::string>{"1", "1007", "1009", "1"}));
}

TEST_F(QtAboutDialog, EnterEndsItExceptInTheText) {
    ASSERT_TRUE(qttest::ShowActive(*dialog));
    QSignalSpy finished(dialog.get(), &QDialog::finished);
    Text()->setFocus();
    QTest::keyClick(Text(), Qt::Key_Return);
    EXPECT_EQ(finished.count(), 0);
    EXPECT_TRUE(Text()->toPlainText().startsWith("Velumin"));
    Button("1")->setFocus();
    QTest::keyClick(Button("1"), Qt::Key_Return);
    EXPECT_EQ(finished.count(), 1);
}

TEST_F(QtAboutDialog, WebPageButtonOpensOnlyOnYesAndStaysOpen) {
    ASSERT_TRUE(qttest::ShowActive(*dialog));
    web.answer = false;
    Button("1007")->click();
    EXPECT_TRUE(web.opened.empty());
    ASSERT_EQ(web.questions.size(), 1U);
    EXPECT_NE(web.questions[0].find(kPage), std::string::npos);
    EXPECT_TRUE(dialog->isVisible());
    web.answer = true;
    Button("1007")->click();
    EXPECT_EQ(web.opened, std::vector<std::string>{kPage});
    EXPECT_TRUE(dialog->isVisible());
}

TEST(QtQuestion, AsksWithYesAsDefaultAndOnlyNoCancels) {
    for (auto answer : {QMessageBox::Yes, QMessageBox::No}) {
        QMessageBox* box = nullptr;
        QString title;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        bool yesIsDefault = false;
        // Answers the box from inside its own loop, once it is shown.
        QTimer answerer;
        answerer.setSingleShot(true);
        QObject::connect(&answerer, &QTimer::timeout, [&] {
            qttest::WaitFor([&box] {
                box = qttest::VisibleWindow<QMessageBox>();
                return box != nullptr;
            });
            if (box != nullptr) {
                title = box->windowTitle();
                text = box->text();
                icon = box->icon();
                yesIsDefault = box->defaultButton() == box->button(QMessageBox::Yes);
                box->button(answer)->click();
            }
        });
        answerer.start(0);
        const bool result = AskYesNo("終了しますか？\r\nline");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(result, answer == QMessageBox::Yes);
        EXPECT_EQ(title, QStringLiteral("Velumin"));
        EXPECT_EQ(text, QStringLiteral("終了しますか？\nline"));
        EXPECT_EQ(icon, QMessageBox::Question);
        EXPECT_TRUE(yesIsDefault);
    }
}

}  // namespace

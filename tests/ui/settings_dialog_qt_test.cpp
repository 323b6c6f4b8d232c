// The Qt Settings dialog on a real X server: controls, texts, order, focus,
// enabling rule and exchange.
#include "ui/settings_dialog_qt.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>

#include "lamps/serial_port.h"
#include "qt_test_support.h"
#include "resource.h"
#include "texts.h"

namespace {

template <typename Widget>
Widget* Find(QDialog& dialog, int id) {
    Widget* widget = dialog.findChild<Widget*>(QString::number(id));
    EXPECT_NE(widget, nullptr) << "control " << id;
    return widget;
}

QStringList Entries(QComboBox* list) {
    QStringList entries;
    for (int i = 0; i < list->count(); ++i) {
        entries << list->itemText(i);
    }
    return entries;
}

const SettingsForm kSample{1, 0, 2, 1, 19, 1, 0};

TEST(QtSettingsDialog, HasTheControlsAndTextsOfTheTemplate) {
    auto dialog = CreateSettingsDialog(kSample);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("設定"));
    EXPECT_EQ(Find<QPushButton>(*dialog, 2)->text(), QStringLiteral("ｷｬﾝｾﾙ"));
    EXPECT_EQ(Find<QPushButton>(*dialog, 1010)->text(), QStringLiteral("OK"));
    EXPECT_EQ(Find<QCheckBox>(*dialog, 1012)->text(), QStringLiteral("受信時にLEDを光らせる"));
    EXPECT_EQ(Find<QCheckBox>(*dialog, 1013)->text(), QStringLiteral("送信時にLEDを光らせる"));
    EXPECT_EQ(Find<QCheckBox>(*dialog, 1023)->text(), QStringLiteral("シリアルポートLEDを使う"));
    EXPECT_EQ(Find<QCheckBox>(*dialog, 1024)->text(), QStringLiteral("LEDの点滅パターンを反転"));

    const QStringList keys{"CapsLock", "ScrollLock", "NumLock"};
    EXPECT_EQ(Entries(Find<QComboBox>(*dialog, 1014)), keys);
    EXPECT_EQ(Entries(Find<QComboBox>(*dialog, 1015)), keys);
    const QStringList ports = Entries(Find<QComboBox>(*dialog, 1021));
    ASSERT_EQ(ports.size(), 20);
    EXPECT_EQ(ports.front(), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(ports[8], QStringLiteral("/dev/ttyACM0"));
    EXPECT_EQ(ports.back(), QStringLiteral("/dev/ttyS7"));
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(ports[i].toStdString(), SerialPortDeviceName(i + 1));
    }
    for (int id : {1014, 1015, 1021}) {
        EXPECT_FALSE(Find<QComboBox>(*dialog, id)->isEditable()) << id;
    }

    QStringList groups;
    for (QGroupBox* group : dialog->findChildren<QGroupBox*>()) {
        groups << group->title();
    }
    EXPECT_EQ(groups, (QStringList{"キーボードLED設定", "シリアルポートLED設定"}));
    QStringList labels;
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
        labels << label->text();
    }
    labels.sort();
    QStringList expected{"LED種類", "LED種類", "ポート番号"};
    expected.sort();
    EXPECT_EQ(labels, expected);
    // No button is the default one: Enter presses whichever has the focus.
    for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault()) << button->objectName().toStdString();
    }
}

TEST(QtSettingsDialog, FocusStartsOnCancelAndTabsInTemplateOrder) {
    SettingsForm form = kSample;
    form.m_useSendLed = 1;
    auto dialog = CreateSettingsDialog(form);
    ASSERT_TRUE(qttest::ShowActive(*dialog));
    const std::vector<std::string> expected{"2",    "1010", "1012", "1013", "1014",
                                            "1015", "1021", "1023", "1024", "2"};
    EXPECT_EQ(qttest::TabChain(9), expected);
    // A greyed list is no tab stop while it is greyed.
    Find<QCheckBox>(*dialog, 1013)->click();
    dialog->findChild<QWidget*>("1013")->setFocus();
    EXPECT_EQ(qttest::TabChain(2), (std::vector<std::string>{"1013", "1014", "1021"}));
}

TEST(QtSettingsDialog, OpensCentredOnTheScreen) {
    auto dialog = CreateSettingsDialog(kSample);
    ASSERT_TRUE(qttest::ShowActive(*dialog));
    const QPoint screenCentre = dialog->screen()->geometry().center();
    const QPoint centre = dialog->frameGeometry().center();
    EXPECT_LE(std::abs(centre.x() - screenCentre.x()), 2);
    EXPECT_LE(std::abs(centre.y() - screenCentre.y()), 2);
}

TEST(QtSettingsDialog, KeyListsFollowTheirBoxesAndKeepTheirSelection) {
    SettingsForm form = kSample;
    form.m_useReceiveLed = 0;
    form.m_useSendLed = 1;
    form.m_useSerialLed = 0;
    auto dialog = CreateSettingsDialog(form);
    ASSERT_TRUE(qttest::ShowActive(*dialog));
    QComboBox* receiveList = Find<QComboBox>(*dialog, 1014);
    EXPECT_FALSE(receiveList->isEnabled());
    EXPECT_TRUE(receiveList->isVisible());
    EXPECT_EQ(receiveList->currentIndex(), 2);
    EXPECT_TRUE(Find<QComboBox>(*dialog, 1015)->isEnabled());
    // The port list and the inversion box do not follow the serial box.
    EXPECT_TRUE(Find<QComboBox>(*dialog, 1021)->isEnabled());
    EXPECT_TRUE(Find<QCheckBox>(*dialog, 1024)->isEnabled());

    QCheckBox* receiveCheck = Find<QCheckBox>(*dialog, 1012);
    QTest::mouseClick(receiveCheck, Qt::LeftButton, {}, QPoint(6, receiveCheck->height() / 2));
    EXPECT_TRUE(receiveList->isEnabled());
    QTest::keyClick(Find<QCheckBox>(*dialog, 1013), Qt::Key_Space);
    EXPECT_FALSE(Find<QComboBox>(*dialog, 1015)->isEnabled());
    EXPECT_EQ(Find<QComboBox>(*dialog, 1015)->currentIndex(), 1);
    QTest::mouseClick(receiveCheck, Qt::LeftButton, {}, QPoint(6, receiveCheck->height() / 2));
    EXPECT_FALSE(receiveList->isEnabled());
    EXPECT_EQ(receiveList->currentIndex(), 2);
}

TEST(QtSettingsDialog, ExchangesEveryControlBothWays) {
    auto dialog = CreateSettingsDialog(kSample);
    EXPECT_TRUE(Find<QCheckBox>(*dialog, 1012)->isChecked());
    EXPECT_FALSE(Find<QCheckBox>(*dialog, 1013)->isChecked());
    EXPECT_EQ(Find<QComboBox>(*dialog, 1021)->currentText(), QStringLiteral("/dev/ttyS7"));
    const SettingsForm out = ReadSettingsDialog(*dialog);
    EXPECT_EQ(out.m_useReceiveLed, 1);
    EXPECT_EQ(out.m_useSendLed, 0);
    EXPECT_EQ(out.m_receiveLedIndex, 2);
    EXPECT_EQ(out.m_sendLedIndex, 1);
    EXPECT_EQ(out.m_serialPortIndex, 19);
    EXPECT_EQ(out.m_useSerialLed, 1);
    EXPECT_EQ(out.m_ledInversion, 0);

    // Flags other than 0 and 1 from the ini file show as off and read back as 0;
    // a port outside the list shows nothing and reads back as -1.
    for (int port : {-1, 20}) {
        const SettingsForm odd{2, -1, 0, 0, port, 7, 2};
        auto oddDialog = CreateSettingsDialog(odd);
        EXPECT_EQ(Find<QComboBox>(*oddDialog, 1021)->currentIndex(), -1);
        const SettingsForm read = ReadSettingsDialog(*oddDialog);
        EXPECT_EQ(read.m_useReceiveLed, 0);
        EXPECT_EQ(read.m_useSendLed, 0);
        EXPECT_EQ(read.m_serialPortIndex, -1) << port;
        EXPECT_EQ(read.m_useSerialLed, 0);
        EXPECT_EQ(read.m_ledInversion, 0);
    }
}

TEST(QtSettingsDialog, GreyedListSelectionIsReadOnOk) {
    SettingsForm form = kSample;
    form.m_useReceiveLed = 0;
    auto dialog = CreateSettingsDialog(form);
    Find<QComboBox>(*dialog, 1014)->setCurrentIndex(1);
    QSignalSpy finished(dialog.get(), &QDialog::finished);
    Find<QPushButton>(*dialog, 1010)->click();
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(ReadSettingsDialog(*dialog).m_receiveLedIndex, 1);
}

int ResultOfKey(int focusId, Qt::Key key) {
    auto dialog = CreateSettingsDialog(kSample);
    if (!qttest::ShowActive(*dialog)) {
        return -1;
    }
    QWidget* target = dialog->findChild<QWidget*>(QString::number(focusId));
    target->setFocus();
    QSignalSpy finished(dialog.get(), &QDialog::finished);
    QTest::keyClick(target, key);
    return finished.count() == 1 ? dialog->result() : -2;
}

TEST(QtSettingsDialog, EnterPressesTheFocusedButtonAndOtherwiseOk) {
    // Enter right after opening presses Cancel, which has the focus.
    EXPECT_EQ(ResultOfKey(2, Qt::Key_Return), QDialog::Rejected);
    EXPECT_EQ(ResultOfKey(1010, Qt::Key_Return), QDialog::Accepted);
    EXPECT_EQ(ResultOfKey(1023, Qt::Key_Return), QDialog::Accepted);
    EXPECT_EQ(ResultOfKey(1023, Qt::Key_Escape), QDialog::Rejected);
}

TEST(QtSettingsDialog, JapaneseTextHasAFont) {
    EXPECT_FALSE(QFontDatabase::families(QFontDatabase::Japanese).isEmpty())
        << "no font with Japanese glyphs: install fonts-ipaexfont-gothic";
}

}  // namespace

// The Settings dialog of the Qt build: the Windows template's controls, texts
// and tab order, with the exchange and enabling rule shared with that build.
#include "ui/settings_dialog_qt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QVBoxLayout>

#include "lamps/keyboard_led.h"
#include "lamps/serial_port.h"
#include "resource.h"
#include "texts.h"
#include "ui/modal_qt.h"
#include "ui/settings_form.h"

namespace {

QString IdName(int id) {
    return QString::number(id);
}

template <typename Widget>
Widget* Control(QDialog& dialog, int id) {
    return dialog.findChild<Widget*>(IdName(id));
}

// The controls addressed by id, for the shared exchange and enabling rule.
class QtSettingsControls final : public SettingsControls {
  public:
    explicit QtSettingsControls(QDialog& dialog) : m_dialog(dialog) {}

    int GetCheck(int id) override { return Control<QCheckBox>(m_dialog, id)->isChecked() ? 1 : 0; }
    void SetCheck(int id, bool checked) override {
        Control<QCheckBox>(m_dialog, id)->setChecked(checked);
    }
    int GetSelection(int id) override { return Control<QComboBox>(m_dialog, id)->currentIndex(); }
    void SetSelection(int id, int index) override {
        QComboBox* list = Control<QComboBox>(m_dialog, id);
        list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
    }
    void SetEnabled(int id, bool enabled) override {
        m_dialog.findChild<QWidget*>(IdName(id))->setEnabled(enabled);
    }

  private:
    QDialog& m_dialog;
};

// Enter presses the focused push button and otherwise acts as OK, as in a
// Win32 dialog; Qt alone would ignore it when no button is the default.
class CSettingDlg final : public QDialog {
  public:
    CSettingDlg() {
        setWindowTitle(QStringLiteral(TEXT_SETTINGS_TITLE));
        setObjectName(IdName(IDD_SETTINGS));
    }

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
            event->modifiers() == Qt::NoModifier) {
            Control<QPushButton>(*this, IDC_SETTINGS_OK)->click();
            return;
        }
        QDialog::keyPressEvent(event);
    }
};

QPushButton* MakeButton(QDialog& dialog, int id, const char* text) {
    auto* button = new QPushButton(QString::fromUtf8(text), &dialog);
    button->setObjectName(IdName(id));
    // Focus moves through the buttons as through every other tab stop.
    button->setAutoDefault(true);
    button->setDefault(false);
    return button;
}

QCheckBox* MakeCheck(QDialog& dialog, int id, const char* text) {
    auto* box = new QCheckBox(QString::fromUtf8(text), &dialog);
    box->setObjectName(IdName(id));
    return box;
}

QComboBox* MakeList(QDialog& dialog, int id, const QStringList& entries) {
    auto* list = new QComboBox(&dialog);
    list->setObjectName(IdName(id));
    list->setEditable(false);
    list->addItems(entries);
    return list;
}

QHBoxLayout* LabelledRow(const char* label, QComboBox* list, QDialog& dialog) {
    auto* row = new QHBoxLayout;
    row->addSpacing(12);
    row->addWidget(new QLabel(QString::fromUtf8(label), &dialog));
    row->addWidget(list, 1);
    return row;
}

}  // namespace

std::unique_ptr<QDialog> CreateSettingsDialog(const SettingsForm& form) {
    auto dialog = std::make_unique<CSettingDlg>();
    QDialog& d = *dialog;

    QStringList keys;
    for (const LockKey& key : kLockKeys) {
        keys << QString::fromUtf8(key.name);
    }
    QStringList ports;
    for (int port = 1; port <= kSerialPortCount; ++port) {
        ports << QString::fromStdString(SerialPortDeviceName(port));
    }

    // Created in the template's order, which is also the tab order.
    QPushButton* cancel = MakeButton(d, IDCANCEL, TEXT_SETTINGS_CANCEL);
    QPushButton* ok = MakeButton(d, IDC_SETTINGS_OK, TEXT_SETTINGS_OK);
    auto* keyboardGroup = new QGroupBox(QStringLiteral(TEXT_KEYBOARD_GROUP), &d);
    QCheckBox* receiveCheck = MakeCheck(d, IDC_RECEIVE_CHECK, TEXT_RECEIVE_CHECK);
    QCheckBox* sendCheck = MakeCheck(d, IDC_SEND_CHECK, TEXT_SEND_CHECK);
    QComboBox* receiveList = MakeList(d, IDC_RECEIVE_LIST, keys);
    QComboBox* sendList = MakeList(d, IDC_SEND_LIST, keys);
    auto* serialGroup = new QGroupBox(QStringLiteral(TEXT_SERIAL_GROUP), &d);
    QComboBox* portList = MakeList(d, IDC_PORT_LIST, ports);
    QCheckBox* serialCheck = MakeCheck(d, IDC_USE_SERIAL_CHECK, TEXT_USE_SERIAL);
    QCheckBox* inversionCheck = MakeCheck(d, IDC_INVERSION_CHECK, TEXT_INVERT);

    auto* keyboardLayout = new QVBoxLayout(keyboardGroup);
    keyboardLayout->addWidget(receiveCheck);
    keyboardLayout->addLayout(LabelledRow(TEXT_LED_TYPE, receiveList, d));
    keyboardLayout->addWidget(sendCheck);
    keyboardLayout->addLayout(LabelledRow(TEXT_LED_TYPE, sendList, d));

    auto* serialLayout = new QVBoxLayout(serialGroup);
    serialLayout->addWidget(serialCheck);
    serialLayout->addLayout(LabelledRow(TEXT_PORT_NUMBER, portList, d));
    serialLayout->addWidget(inversionCheck);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addStretch(1);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(&d);
    layout->addWidget(keyboardGroup);
    layout->addWidget(serialGroup);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    QWidget* tabOrder[] = {cancel,   ok,       receiveCheck, sendCheck,     receiveList,
                           sendList, portList, serialCheck,  inversionCheck};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i) {
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }

    QtSettingsControls controls(d);
    InitSettingsControls(form, controls);

    QObject::connect(ok, &QPushButton::clicked, &d, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &d, &QDialog::reject);
    QObject::connect(receiveCheck, &QCheckBox::clicked, &d, [&d] {
        QtSettingsControls rule(d);
        UpdateLedTypeLists(rule);
    });
    QObject::connect(sendCheck, &QCheckBox::clicked, &d, [&d] {
        QtSettingsControls rule(d);
        UpdateLedTypeLists(rule);
    });

    cancel->setFocus();
    // Sized now, so that the first show centres it on the screen.
    d.adjustSize();
    CentreOnScreen(d);
    return dialog;
}

SettingsForm ReadSettingsDialog(QDialog& dialog) {
    SettingsForm form;
    QtSettingsControls controls(dialog);
    ExchangeFromControls(form, controls);
    return form;
}

bool RunSettingsDialog(SettingsForm& form) {
    std::unique_ptr<QDialog> dialog = CreateSettingsDialog(form);
    if (RunModal(*dialog) != QDialog::Accepted) {
        return false;
    }
    form = ReadSettingsDialog(*dialog);
    return true;
}

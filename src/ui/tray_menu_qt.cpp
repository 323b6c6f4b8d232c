// The tray icon's context menu of the Qt build, wired to the shared commands.
#include "ui/tray_menu_qt.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QMetaObject>
#include <QMouseEvent>
#include <QString>
#include <QSystemTrayIcon>

#include "resource.h"
#include "texts.h"
#include "ui/commands.h"

namespace {

// Qt's XEmbed tray icon turns a second right press soon after the first into a
// double click, which it drops; a user clicking again would get no menu.
class RightDoubleClickAsPress final : public QObject {
  public:
    explicit RightDoubleClickAsPress(QSystemTrayIcon& icon) : QObject(&icon), m_icon(icon) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonDblClick &&
            static_cast<QMouseEvent*>(event)->button() == Qt::RightButton &&
            watched->inherits("QSystemTrayIconSys")) {
            emit m_icon.activated(QSystemTrayIcon::Context);
            return true;
        }
        return false;
    }

  private:
    QSystemTrayIcon& m_icon;
};

QAction* AddCommand(QMenu& menu, int command, const char* text) {
    QAction* action = menu.addAction(QString::fromUtf8(text));
    action->setObjectName(QString::number(command));
    action->setData(command);
    return action;
}

// The popup with its four commands (each action's objectName is its command
// id), the keyboard item checked as given.
std::unique_ptr<QMenu> CreateTrayMenu(bool keyboardLedChecked) {
    auto menu = std::make_unique<QMenu>();
    menu->setObjectName(QString::number(IDR_TRAY_MENU));
    AddCommand(*menu, IDM_SETTINGS, TEXT_MENU_SETTINGS);
    menu->addSeparator();
    QAction* keyboard = AddCommand(*menu, IDM_KEYBOARD_LED, TEXT_MENU_KEYBOARD_LED);
    keyboard->setCheckable(true);
    keyboard->setChecked(keyboardLedChecked);
    menu->addSeparator();
    AddCommand(*menu, IDM_ABOUT, TEXT_MENU_ABOUT);
    AddCommand(*menu, IDM_EXIT, TEXT_MENU_EXIT);
    return menu;
}

}  // namespace

TrayMenu::TrayMenu(TrayCommands& commands)
    : m_commands(commands), m_menu(CreateTrayMenu(commands.KeyboardLedChecked())) {
    m_keyboardItem = m_menu->findChild<QAction*>(QString::number(IDM_KEYBOARD_LED));
    // A D-Bus host may open the menu without asking first (no aboutToShow), so
    // the check is also set again after every command.
    QObject::connect(m_menu.get(), &QMenu::aboutToShow, m_menu.get(), [this] { Refresh(); });
    QObject::connect(m_menu.get(), &QMenu::triggered, m_menu.get(), [this](QAction* action) {
        // Queued, so the command runs after the menu has closed.
        QMetaObject::invokeMethod(
            m_menu.get(),
            [this, command = action->data().toInt()] {
                m_commands.OnCommand(command);
                Refresh();
            },
            Qt::QueuedConnection);
    });
}

TrayMenu::~TrayMenu() = default;

void TrayMenu::Refresh() {
    m_keyboardItem->setChecked(m_commands.KeyboardLedChecked());
}

void TrayMenu::Attach(QSystemTrayIcon& icon, bool pointerKnown) {
    QObject::connect(
        &icon, &QSystemTrayIcon::activated, m_menu.get(),
        [this, pointerKnown](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Context && !m_menu->isVisible() && pointerKnown) {
                m_menu->popup(QCursor::pos());
            }
        });
    QCoreApplication::instance()->installEventFilter(new RightDoubleClickAsPress(icon));
}

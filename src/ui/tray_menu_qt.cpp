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

// Built afresh at each opening, so the check mark is never stale.
void OpenTrayMenu(QSystemTrayIcon& icon, TrayCommands& commands) {
    QMenu* menu = CreateTrayMenu(commands.KeyboardLedChecked()).release();
    QObject::connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
    QObject::connect(menu, &QMenu::triggered, menu, [&icon, &commands](QAction* action) {
        // Queued, so the command runs after the menu has closed; dropped when
        // the icon has gone meanwhile.
        QMetaObject::invokeMethod(
            &icon, [&commands, command = action->data().toInt()] { commands.OnCommand(command); },
            Qt::QueuedConnection);
    });
    menu->popup(QCursor::pos());
}

QAction* AddCommand(QMenu& menu, int command, const char* text) {
    QAction* action = menu.addAction(QString::fromUtf8(text));
    action->setObjectName(QString::number(command));
    action->setData(command);
    return action;
}

}  // namespace

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

void InstallTrayMenu(QSystemTrayIcon& icon, TrayCommands& commands) {
    QObject::connect(&icon, &QSystemTrayIcon::activated, &icon,
                     [&icon, &commands](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Context) {
                             OpenTrayMenu(icon, commands);
                         }
                     });
    QCoreApplication::instance()->installEventFilter(new RightDoubleClickAsPress(icon));
}

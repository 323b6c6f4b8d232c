// The tray icon's context menu of the Qt build, wired to the shared commands.
#include "ui/tray_menu_qt.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QString>
#include <QSystemTrayIcon>

#include "lamps/serial_port.h"
#include "resource.h"
#include "settings/lamp_settings.h"
#include "settings/settings_store.h"
#include "texts.h"
#include "ui/about_dialog_qt.h"
#include "ui/commands.h"
#include "ui/settings_dialog_qt.h"

namespace {

class QtSettingsCommandHost final : public SettingsCommandHost {
  public:
    bool RunSettingsDialog(SettingsForm& form) override { return ::RunSettingsDialog(form); }
    void SaveSettings() override { ::SaveSettings(); }
    void ApplySerialLamp() override { ::ApplySerialLamp(); }
};

class QtAboutCommandHost final : public AboutCommandHost {
  public:
    void RunAboutDialog(const std::string& aboutText, const std::string& pageUrl) override {
        ::RunAboutDialog(aboutText, pageUrl);
    }
};

void RunTrayCommand(int command, ExitCommandHost& exitHost) {
    switch (command) {
        case IDM_SETTINGS: {
            QtSettingsCommandHost host;
            RunSettingsCommand(LampSettings, host);
            break;
        }
        case IDM_KEYBOARD_LED:
            ToggleKeyboardLed(LampSettings);
            break;
        case IDM_ABOUT: {
            QtAboutCommandHost host;
            RunAboutCommand(host);
            break;
        }
        case IDM_EXIT:
            RunExitCommand(exitHost);
            break;
        default:
            break;
    }
}

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

// A chosen command on its way to the event loop.
class TrayCommandEvent final : public QEvent {
  public:
    static QEvent::Type Type() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    explicit TrayCommandEvent(int command) : QEvent(Type()), m_command(command) {}
    int Command() const { return m_command; }

  private:
    int m_command;
};

// Runs the commands posted to it, one per event, once the menu has closed.
class TrayCommandRunner final : public QObject {
  public:
    TrayCommandRunner(ExitCommandHost& exitHost, QObject* parent)
        : QObject(parent), m_exitHost(exitHost) {}

  protected:
    bool event(QEvent* event) override {
        if (event->type() != TrayCommandEvent::Type()) {
            return QObject::event(event);
        }
        RunTrayCommand(static_cast<TrayCommandEvent*>(event)->Command(), m_exitHost);
        return true;
    }

  private:
    ExitCommandHost& m_exitHost;
};

// Built afresh at each opening, so the check mark is never stale.
void OpenTrayMenu(TrayCommandRunner& runner) {
    QMenu* menu = CreateTrayMenu(IsOn(LampSettings.useKeyboardLed)).release();
    QObject::connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
    QObject::connect(menu, &QMenu::triggered, menu, [&runner](QAction* action) {
        // Posted, so the command runs after the menu has closed.
        QCoreApplication::postEvent(&runner, new TrayCommandEvent(action->data().toInt()));
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

void InstallTrayMenu(QSystemTrayIcon& icon, ExitCommandHost& exitHost) {
    auto* runner = new TrayCommandRunner(exitHost, &icon);
    QObject::connect(&icon, &QSystemTrayIcon::activated, runner,
                     [runner](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Context) {
                             OpenTrayMenu(*runner);
                         }
                     });
    QCoreApplication::instance()->installEventFilter(new RightDoubleClickAsPress(icon));
}

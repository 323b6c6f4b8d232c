// The tray icon's context menu of the Qt build and the commands behind it.
#pragma once

#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;
class TrayCommands;

// The one menu of the tray icon, kept for the program's life. Given to the
// icon before it is shown, Qt exports it over D-Bus (com.canonical.dbusmenu)
// to a StatusNotifierItem host and opens it itself at a right press on an
// XEmbed tray. A chosen command runs through commands once the menu has
// closed; the keyboard item's check follows the settings.
class TrayMenu {
  public:
    explicit TrayMenu(TrayCommands& commands);
    ~TrayMenu();
    TrayMenu(const TrayMenu&) = delete;
    TrayMenu& operator=(const TrayMenu&) = delete;

    QMenu& Menu() { return *m_menu; }
    // The check mark from the settings as they are now.
    void Refresh();
    // The clicks on icon that Qt leaves to the program: a quick second right
    // press on an XEmbed tray, and a host's request to open the menu itself,
    // which opens it at the pointer where the session tells where that is
    // (a Wayland client is not told).
    void Attach(QSystemTrayIcon& icon, bool pointerKnown);

  private:
    TrayCommands& m_commands;
    std::unique_ptr<QMenu> m_menu;
    QAction* m_keyboardItem = nullptr;
};

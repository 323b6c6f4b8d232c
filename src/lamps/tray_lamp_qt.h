// The tray lamp icon of the Linux build: a QSystemTrayIcon with the four
// pictures, switched on the GUI thread whichever thread asks.
#pragma once

#include <QIcon>
#include <QImage>
#include <QObject>
#include <QSystemTrayIcon>

#include <array>
#include <memory>
#include <mutex>
#include <vector>

#include "lamps/tray_lamp.h"

class QMenu;
struct LampPicture;

class QtTrayLamp final : public QObject, public TrayLamp {
  public:
    // Made on the GUI thread while the QApplication exists.
    QtTrayLamp();
    ~QtTrayLamp() override;
    QtTrayLamp(const QtTrayLamp&) = delete;
    QtTrayLamp& operator=(const QtTrayLamp&) = delete;

    // With the tip "VELUMIN". Shown even without a tray host: Qt docks the icon
    // when one starts, and again when it restarts.
    void Add() override;
    // Any thread: the switch is queued to the GUI thread.
    void Show(TrayLampState state) override;
    // Switches still on their way, and any that come later, are dropped; the
    // object itself stays for a worker that may still call Show.
    void Remove() override;

    // The menu the icon offers from Add on. A StatusNotifierItem host reads
    // the menu when the icon registers, so it is given before the icon is shown.
    void SetMenu(QMenu* menu) { m_menu = menu; }

    // The icon, for the menu; nullptr once removed.
    QSystemTrayIcon* Icon() { return m_icon.get(); }

  protected:
    void customEvent(QEvent* event) override;

  private:
    void ShowNow(TrayLampState state);

    std::array<QIcon, 4> m_pictures;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    QMenu* m_menu = nullptr;
    TrayLampState m_shown = TrayLampState::Idle;
    // Switches asked for and not yet shown, oldest first: each flash is shown
    // even when the GUI thread comes late to them.
    std::mutex m_askedMutex;
    std::vector<TrayLampState> m_asked;
};

// A picture as an image in the standard palette.
QImage TrayLampImage(TrayLampState state);
QImage LampPictureImage(const LampPicture& picture);

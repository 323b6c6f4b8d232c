// The tray lamp icon through QSystemTrayIcon.
#include "lamps/tray_lamp_qt.h"

#include <QCoreApplication>
#include <QEvent>
#include <QList>
#include <QObject>
#include <QPixmap>

#include <algorithm>
#include <array>
#include <memory>
#include <mutex>

#include "lamps/tray_pictures.h"

namespace {

QImage ImageOf(const LampPicture& picture) {
    QImage image(picture.size, picture.size, QImage::Format_Indexed8);
    QList<QRgb> colours(kStandardPalette.size());
    std::transform(
        kStandardPalette.begin(), kStandardPalette.end(), colours.begin(),
        [](const PaletteColour& colour) { return qRgb(colour.red, colour.green, colour.blue); });
    image.setColorTable(colours);
    for (int y = 0; y < picture.size; ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < picture.size; ++x) {
            line[x] = picture.At(x, y);
        }
    }
    return image;
}

std::size_t IndexOf(TrayLampState state) {
    return static_cast<std::size_t>(state);
}

// A switch posted to the GUI thread by whichever thread asks for it.
class TrayLampEvent : public QEvent {
  public:
    explicit TrayLampEvent(TrayLampState state) : QEvent(Type()), m_state(state) {}
    static QEvent::Type Type() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    TrayLampState State() const { return m_state; }

  private:
    TrayLampState m_state;
};

// Owns the icon on the GUI thread and receives the switches; those still
// queued when it goes are dropped with it.
class TrayIconOwner : public QObject {
  public:
    TrayIconOwner() {
        for (const TrayLampState state : kTrayLampStates) {
            m_pictures[IndexOf(state)] = QIcon(QPixmap::fromImage(TrayLampImage(state)));
        }
        m_icon.setIcon(m_pictures[IndexOf(TrayLampState::Idle)]);
        m_icon.setToolTip(QStringLiteral("VELUMIN"));
        // Shown even without a tray host: Qt docks the icon when one starts,
        // and again when it restarts.
        m_icon.show();
    }
    ~TrayIconOwner() override { m_icon.hide(); }
    TrayIconOwner(const TrayIconOwner&) = delete;
    TrayIconOwner& operator=(const TrayIconOwner&) = delete;

    QSystemTrayIcon& Icon() { return m_icon; }

  protected:
    bool event(QEvent* event) override {
        if (event->type() != TrayLampEvent::Type()) {
            return QObject::event(event);
        }
        const TrayLampState state = static_cast<TrayLampEvent*>(event)->State();
        if (state != m_shown) {
            m_shown = state;
            m_icon.setIcon(m_pictures[IndexOf(state)]);
        }
        return true;
    }

  private:
    std::array<QIcon, 4> m_pictures;
    QSystemTrayIcon m_icon;
    TrayLampState m_shown = TrayLampState::Idle;
};

// Held around every use of the pointer from the worker, so that it never
// posts to an owner being destroyed.
std::mutex ownerMutex;
std::unique_ptr<TrayIconOwner> trayOwner;

}  // namespace

QImage TrayLampImage(TrayLampState state) {
    return ImageOf(TrayLampPicture(state));
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (const LampPicture& picture : ApplicationIconPictures()) {
        icon.addPixmap(QPixmap::fromImage(ImageOf(picture)));
    }
    return icon;
}

QSystemTrayIcon& AddTrayIcon() {
    const std::lock_guard lock(ownerMutex);
    if (!trayOwner) {
        trayOwner = std::make_unique<TrayIconOwner>();
    }
    return trayOwner->Icon();
}

void RemoveTrayIcon() {
    std::unique_ptr<TrayIconOwner> removed;
    {
        const std::lock_guard lock(ownerMutex);
        removed = std::move(trayOwner);
    }
    // Destroyed outside the lock: a worker waiting for it must not wait on
    // the tray host as well.
    removed.reset();
}

void ShowTrayLamp(TrayLampState state) {
    const std::lock_guard lock(ownerMutex);
    if (trayOwner) {
        QCoreApplication::postEvent(trayOwner.get(), new TrayLampEvent(state));
    }
}

// The tray lamp icon through QSystemTrayIcon.
#include "lamps/tray_lamp_qt.h"

#include <QCoreApplication>
#include <QEvent>
#include <QList>
#include <QPixmap>

#include <algorithm>

#include "lamps/tray_pictures.h"
#include "texts.h"

namespace {

std::size_t IndexOf(TrayLampState state) {
    return static_cast<std::size_t>(state);
}

const auto kSwitchAsked = static_cast<QEvent::Type>(QEvent::registerEventType());

}  // namespace

QImage TrayLampImage(TrayLampState state) {
    return LampPictureImage(TrayLampPicture(state));
}

QImage LampPictureImage(const LampPicture& picture) {
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

QtTrayLamp::QtTrayLamp() {
    for (const TrayLampState state : kTrayLampStates) {
        m_pictures[IndexOf(state)] = QIcon(QPixmap::fromImage(TrayLampImage(state)));
    }
}

void QtTrayLamp::Add() {
    m_shown = TrayLampState::Idle;
    m_icon = std::make_unique<QSystemTrayIcon>();
    m_icon->setIcon(m_pictures[IndexOf(TrayLampState::Idle)]);
    m_icon->setToolTip(QStringLiteral(TEXT_TRAY_TIP));
    m_icon->setContextMenu(m_menu);
    m_icon->show();
}

QtTrayLamp::~QtTrayLamp() {
    Remove();
}

void QtTrayLamp::Show(TrayLampState state) {
    // The state travels under a mutex of ours rather than inside the posted
    // event: Qt's queue locks with futexes that the thread sanitizer cannot
    // see, and would report every hand-over as a race.
    {
        const std::lock_guard lock(m_askedMutex);
        m_asked.push_back(state);
    }
    // Qt owns the event it queues and deletes it once delivered or dropped.
    QCoreApplication::postEvent(  // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks)
        this, new QEvent(kSwitchAsked));
}

// The only custom event this object receives; the event itself is not read,
// as it was made on the worker's side of Qt's queue.
void QtTrayLamp::customEvent(QEvent* /*event*/) {
    std::vector<TrayLampState> asked;
    {
        const std::lock_guard lock(m_askedMutex);
        asked.swap(m_asked);
    }
    for (const TrayLampState state : asked) {
        ShowNow(state);
    }
}

void QtTrayLamp::Remove() {
    if (m_icon) {
        m_icon->hide();
        m_icon.reset();
    }
}

void QtTrayLamp::ShowNow(TrayLampState state) {
    // The picture is handed to the tray host only when it changes.
    if (m_icon && state != m_shown) {
        m_shown = state;
        m_icon->setIcon(m_pictures[IndexOf(state)]);
    }
}

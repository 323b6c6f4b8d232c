// The tray lamp icon through QSystemTrayIcon.
#include "lamps/tray_lamp_qt.h"

#include <QList>
#include <QMetaObject>
#include <QPixmap>

#include <algorithm>

#include "lamps/tray_pictures.h"
#include "texts.h"

namespace {

std::size_t IndexOf(TrayLampState state) {
    return static_cast<std::size_t>(state);
}

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
    // Qt owns the call it queues and deletes it once run or dropped.
    QMetaObject::invokeMethod(  // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks)
        this, [this, state] { ShowNow(state); }, Qt::QueuedConnection);
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

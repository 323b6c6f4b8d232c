// Draws the tray lamp's pictures from the state of its two lamps.
#include "lamps/tray_pictures.h"

namespace {

// Two plain halves: columns left of size/2 in the send colour, the rest in the
// receive colour.
LampPicture HalvesPicture(int size, std::uint8_t sendColour, std::uint8_t receiveColour) {
    LampPicture picture;
    picture.size = size;
    picture.pixels.reserve(static_cast<std::size_t>(size * size));
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            picture.pixels.push_back(x < size / 2 ? sendColour : receiveColour);
        }
    }
    return picture;
}

}  // namespace

LampPicture TrayLampPicture(TrayLampState state) {
    const bool sendOn = state == TrayLampState::Send || state == TrayLampState::Both;
    const bool receiveOn = state == TrayLampState::Receive || state == TrayLampState::Both;
    return HalvesPicture(kTrayPictureSize, sendOn ? kBrightRed : kDarkRed,
                         receiveOn ? kBrightGreen : kDarkGreen);
}

std::vector<LampPicture> ApplicationIconPictures() {
    return {HalvesPicture(32, kBrightRed, kBrightGreen),
            HalvesPicture(16, kBrightRed, kBrightGreen)};
}

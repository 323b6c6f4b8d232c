// The tray lamp's pictures as palette indices: the one definition that the
// Windows icon files and the Linux build's images are both drawn from.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "lamps/tray_lamp.h"

struct PaletteColour {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
};

// The standard 16-colour palette of 4-bit icons.
inline constexpr std::array<PaletteColour, 16> kStandardPalette{{
    {0, 0, 0},
    {128, 0, 0},
    {0, 128, 0},
    {128, 128, 0},
    {0, 0, 128},
    {128, 0, 128},
    {0, 128, 128},
    {192, 192, 192},
    {128, 128, 128},
    {255, 0, 0},
    {0, 255, 0},
    {255, 255, 0},
    {0, 0, 255},
    {255, 0, 255},
    {0, 255, 255},
    {255, 255, 255},
}};

// The lamp colours' indices into kStandardPalette.
inline constexpr std::uint8_t kDarkRed = 1;
inline constexpr std::uint8_t kDarkGreen = 2;
inline constexpr std::uint8_t kBrightRed = 9;
inline constexpr std::uint8_t kBrightGreen = 10;

// A square picture of palette indices, rows from the top. Every pixel is
// opaque: the icons have an empty transparency mask.
struct LampPicture {
    int size = 0;
    std::vector<std::uint8_t> pixels;  // size * size entries, row by row

    std::uint8_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y * size + x)]; }
};

inline constexpr int kTrayPictureSize = 32;

// The 32 by 32 picture of a state: the left half the send lamp in red, the
// right half the receive lamp in green, dark when off and bright when on.
LampPicture TrayLampPicture(TrayLampState state);

// The application icon's images, 32 by 32 then 16 by 16, both halves bright.
std::vector<LampPicture> ApplicationIconPictures();

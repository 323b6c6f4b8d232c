// Writes the icon files of the Windows resources (res/icons) from the shared
// picture definition: 4-bit icons with the standard palette and an empty mask;
// and the application icon as the palette PNGs the Linux desktop entry names.
#include <QImage>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "lamps/tray_lamp_qt.h"
#include "lamps/tray_pictures.h"

namespace {

class ByteWriter {
  public:
    void U8(std::uint32_t value) { m_bytes.push_back(static_cast<char>(value & 0xFF)); }
    void U16(std::uint32_t value) {
        U8(value);
        U8(value >> 8);
    }
    void U32(std::uint32_t value) {
        U16(value);
        U16(value >> 16);
    }
    std::vector<char>& Bytes() { return m_bytes; }

  private:
    std::vector<char> m_bytes;
};

// Rows of a bitmap are padded to whole 32-bit words.
std::uint32_t RowBytes(int width, int bitsPerPixel) {
    return static_cast<std::uint32_t>((width * bitsPerPixel + 31) / 32 * 4);
}

// One image of an icon: BITMAPINFOHEADER, palette, colour bits, mask bits.
std::vector<char> EncodeImage(const LampPicture& picture) {
    const int size = picture.size;
    const std::uint32_t colourRow = RowBytes(size, 4);
    const std::uint32_t maskRow = RowBytes(size, 1);
    const auto rows = static_cast<std::uint32_t>(size);
    ByteWriter out;
    out.U32(40);        // biSize
    out.U32(rows);      // biWidth
    out.U32(rows * 2);  // biHeight: colour image and mask stacked
    out.U16(1);         // biPlanes
    out.U16(4);         // biBitCount
    out.U32(0);         // biCompression: BI_RGB
    out.U32((colourRow + maskRow) * rows);
    out.U32(0);
    out.U32(0);
    out.U32(0);  // biClrUsed: all 16
    out.U32(0);
    for (const PaletteColour& colour : kStandardPalette) {
        out.U8(colour.blue);
        out.U8(colour.green);
        out.U8(colour.red);
        out.U8(0);
    }
    // Bottom row first; the left pixel of a pair in the high nibble.
    for (int y = size - 1; y >= 0; --y) {
        for (std::uint32_t column = 0; column < colourRow; ++column) {
            const int x = static_cast<int>(column) * 2;
            const std::uint32_t high = x < size ? picture.At(x, y) : 0u;
            const std::uint32_t low = x + 1 < size ? picture.At(x + 1, y) : 0u;
            out.U8(high << 4 | low);
        }
    }
    // An empty mask: every pixel opaque.
    for (std::uint32_t i = 0; i < maskRow * rows; ++i) {
        out.U8(0);
    }
    return std::move(out.Bytes());
}

std::vector<char> EncodeIcon(const std::vector<LampPicture>& pictures) {
    std::vector<std::vector<char>> images(pictures.size());
    std::transform(pictures.begin(), pictures.end(), images.begin(), EncodeImage);
    ByteWriter out;
    out.U16(0);  // reserved
    out.U16(1);  // an icon, not a cursor
    out.U16(static_cast<std::uint32_t>(images.size()));
    auto offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const auto size = static_cast<std::uint32_t>(pictures[i].size);
        out.U8(size);  // width
        out.U8(size);  // height
        out.U8(16);    // colours
        out.U8(0);
        out.U16(1);  // planes
        out.U16(4);  // bits per pixel
        out.U32(static_cast<std::uint32_t>(images[i].size()));
        out.U32(offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const std::vector<char>& image : images) {
        out.Bytes().insert(out.Bytes().end(), image.begin(), image.end());
    }
    return std::move(out.Bytes());
}

bool WriteFile(const std::string& path, const std::vector<char>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
        return 2;
    }
    const std::string directory = argv[1];
    const std::vector<std::pair<const char*, std::vector<LampPicture>>> files{
        {"velumin.ico", ApplicationIconPictures()},
        {"idle.ico", {TrayLampPicture(TrayLampState::Idle)}},
        {"receive.ico", {TrayLampPicture(TrayLampState::Receive)}},
        {"send.ico", {TrayLampPicture(TrayLampState::Send)}},
        {"both.ico", {TrayLampPicture(TrayLampState::Both)}},
    };
    for (const auto& [name, pictures] : files) {
        const std::string path = directory + "/" + name;
        if (!WriteFile(path, EncodeIcon(pictures))) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    for (const LampPicture& picture : ApplicationIconPictures()) {
        const std::string path = directory + "/velumin-" + std::to_string(picture.size) + ".png";
        if (!LampPictureImage(picture).save(QString::fromStdString(path), "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}

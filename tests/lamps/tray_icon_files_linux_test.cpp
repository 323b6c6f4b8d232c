// The icon files of the Windows resources, read back from the tree: 4-bit
// icons in the standard palette with an empty mask, the lamp halves in the
// right colours, and no different from what make_icons writes today; and the
// Linux desktop's PNGs of the application icon.
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QImage>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::filesystem::path kIconDir = std::filesystem::path(VELUMIN_SOURCE_DIR) / "res/icons";

struct ExpectedImage {
    int size;
    int sendIndex;
    int receiveIndex;
};

struct ExpectedIcon {
    const char* file;
    std::vector<ExpectedImage> images;
};

// Palette 1 dark red, 2 dark green, 9 bright red, 10 bright green; the send
// lamp is the left half, the receive lamp the right one.
const std::vector<ExpectedIcon> kIcons{
    {"velumin.ico", {{32, 9, 10}, {16, 9, 10}}},
    {"idle.ico", {{32, 1, 2}}},
    {"receive.ico", {{32, 1, 10}}},
    {"send.ico", {{32, 9, 2}}},
    {"both.ico", {{32, 9, 10}}},
};

// The standard 16-colour palette as red, green, blue.
const std::uint32_t kPalette[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                    0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                    0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class Reader {
  public:
    explicit Reader(const std::vector<std::uint8_t>& bytes) : m_bytes(bytes) {}
    std::uint32_t U8(std::size_t at) const {
        return at < m_bytes.size() ? m_bytes[at] : 0xFFFFFFFF;
    }
    std::uint32_t U16(std::size_t at) const { return U8(at) | U8(at + 1) << 8; }
    std::uint32_t U32(std::size_t at) const { return U16(at) | U16(at + 2) << 16; }

  private:
    const std::vector<std::uint8_t>& m_bytes;
};

void CheckImage(const std::vector<std::uint8_t>& bytes, std::size_t offset, std::size_t length,
                const ExpectedImage& expected) {
    ASSERT_LE(offset + length, bytes.size());
    const Reader in(bytes);
    const auto size = static_cast<std::uint32_t>(expected.size);
    EXPECT_EQ(in.U32(offset), 40u) << "BITMAPINFOHEADER";
    EXPECT_EQ(in.U32(offset + 4), size);
    EXPECT_EQ(in.U32(offset + 8), 2 * size) << "colour image and mask";
    EXPECT_EQ(in.U16(offset + 12), 1u);
    ASSERT_EQ(in.U16(offset + 14), 4u) << "bits per pixel";
    EXPECT_EQ(in.U32(offset + 16), 0u) << "uncompressed";
    const std::uint32_t used = in.U32(offset + 32);
    EXPECT_TRUE(used == 0 || used == 16) << used;

    const std::size_t palette = offset + 40;
    for (std::size_t i = 0; i < 16; ++i) {
        const std::uint32_t rgb = in.U8(palette + 4 * i + 2) << 16 |
                                  in.U8(palette + 4 * i + 1) << 8 | in.U8(palette + 4 * i);
        EXPECT_EQ(rgb, kPalette[i]) << "palette entry " << i;
    }
    const std::size_t colourRow = (size * 4 + 31) / 32 * 4;
    const std::size_t maskRow = (size + 31) / 32 * 4;
    const std::size_t colour = palette + 16 * 4;
    const std::size_t mask = colour + colourRow * size;
    ASSERT_EQ(mask + maskRow * size, offset + length) << "image length";

    int wrong = 0;
    for (std::uint32_t y = 0; y < size; ++y) {
        const std::size_t row = colour + (size - 1 - y) * colourRow;  // bottom row first
        for (std::uint32_t x = 0; x < size; ++x) {
            const std::uint32_t pair = in.U8(row + x / 2);
            const std::uint32_t index = x % 2 == 0 ? pair >> 4 : pair & 0x0F;
            const auto want = static_cast<std::uint32_t>(x < size / 2 ? expected.sendIndex
                                                                      : expected.receiveIndex);
            if (index != want && ++wrong <= 5) {
                ADD_FAILURE() << "pixel " << x << "," << y << " has index " << index << ", not "
                              << want;
            }
        }
    }
    EXPECT_EQ(wrong, 0) << "pixels with the wrong palette index";
    for (std::size_t i = mask; i < offset + length; ++i) {
        ASSERT_EQ(in.U8(i), 0u) << "mask byte " << i - mask << ": every pixel is opaque";
    }
}

TEST(TrayIconFiles, EveryPixelHasTheLampColourOfItsHalf) {
    for (const ExpectedIcon& icon : kIcons) {
        SCOPED_TRACE(icon.file);
        const std::vector<std::uint8_t> bytes = ReadBytes(kIconDir / icon.file);
        ASSERT_GE(bytes.size(), 6u) << "missing or empty";
        const Reader in(bytes);
        EXPECT_EQ(in.U16(0), 0u);
        EXPECT_EQ(in.U16(2), 1u) << "an icon";
        ASSERT_EQ(in.U16(4), icon.images.size()) << "images";
        for (std::size_t i = 0; i < icon.images.size(); ++i) {
            const ExpectedImage& expected = icon.images[i];
            SCOPED_TRACE("image " + std::to_string(expected.size));
            const std::size_t entry = 6 + 16 * i;
            EXPECT_EQ(in.U8(entry), static_cast<std::uint32_t>(expected.size)) << "width";
            EXPECT_EQ(in.U8(entry + 1), static_cast<std::uint32_t>(expected.size)) << "height";
            EXPECT_EQ(in.U8(entry + 2), 16u) << "colours";
            EXPECT_EQ(in.U16(entry + 4), 1u) << "planes";
            EXPECT_EQ(in.U16(entry + 6), 4u) << "bits per pixel";
            CheckImage(bytes, in.U32(entry + 12), in.U32(entry + 8), expected);
        }
    }
}

TEST(TrayIconFiles, PngsShowTheApplicationIconAtBothSizes) {
    for (const int size : {16, 32}) {
        const std::string file = "velumin-" + std::to_string(size) + ".png";
        const QImage png(QString::fromStdString((kIconDir / file).string()));
        ASSERT_EQ(png.width(), size) << file << " is missing or not a PNG";
        ASSERT_EQ(png.height(), size) << file;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                // Both lamps lit: bright red send on the left, bright green receive on the right.
                ASSERT_EQ(png.pixel(x, y) & 0xFFFFFF, kPalette[x < size / 2 ? 9 : 10])
                    << file << " pixel " << x << "," << y;
            }
        }
    }
}

TEST(TrayIconFiles, TreeHoldsWhatMakeIconsWrites) {
    char pattern[] = "/tmp/velumin-icons-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::filesystem::path fresh(pattern);
    const std::string command = std::string(VELUMIN_MAKE_ICONS) + " " + fresh.string();
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;

    std::vector<std::string> files{"velumin-16.png", "velumin-32.png"};
    for (const ExpectedIcon& icon : kIcons) {
        files.emplace_back(icon.file);
    }
    for (const std::string& file : files) {
        const std::vector<std::uint8_t> written = ReadBytes(fresh / file);
        EXPECT_FALSE(written.empty()) << file;
        EXPECT_TRUE(written == ReadBytes(kIconDir / file))
            << "res/icons/" << file << " is stale: run "
            << "cmake --build --preset linux --target velumin_icons";
    }
    std::filesystem::remove_all(fresh);
}

}  // namespace

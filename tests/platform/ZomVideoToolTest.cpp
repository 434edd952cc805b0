#include "platform/linux/ZomVideoTool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {
constexpr uint32_t kYuvs = ZomVideoTool::kFormatYuvs;
constexpr uint32_t kBgra = ZomVideoTool::kFormatBgra;

std::vector<uint8_t> SolidYuy2(int width, int height, uint8_t y, uint8_t u, uint8_t v) {
    std::vector<uint8_t> image(size_t(width) * height * 2);
    for (size_t i = 0; i < image.size(); i += 4) {
        image[i] = y;
        image[i + 1] = u;
        image[i + 2] = y;
        image[i + 3] = v;
    }
    return image;
}

uint32_t Pixel(const std::vector<uint8_t>& bgra, int width, int x, int y) {
    uint32_t value;
    std::memcpy(&value, &bgra[(size_t(y) * width + x) * 4], 4);
    return value; // 0xAARRGGBB on little-endian
}
} // namespace

TEST(ZomVideoTool, RejectsNullPixelsAndBadArguments) {
    std::vector<uint8_t> src(16 * 16 * 2), dst(16 * 16 * 4);
    EXPECT_NE(ZomVideoTool::ConvertImage(16, 16, kYuvs, src.data(), 32, 16, 16, kBgra, nullptr, 64), 0);
    EXPECT_NE(ZomVideoTool::ConvertImage(16, 16, kYuvs, nullptr, 32, 16, 16, kBgra, dst.data(), 64), 0);
    EXPECT_NE(ZomVideoTool::ConvertImage(0, 16, kYuvs, src.data(), 32, 16, 16, kBgra, dst.data(), 64), 0);
    EXPECT_NE(ZomVideoTool::ConvertImage(16, 16, kYuvs, src.data(), 31, 16, 16, kBgra, dst.data(), 64), 0);
    EXPECT_NE(ZomVideoTool::ConvertImage(16, 16, kYuvs, src.data(), 32, 16, 16, kYuvs, dst.data(), 64), 0);
}

TEST(ZomVideoTool, ConvertsFullRangeLevels) {
    // Full-range (JPEG) levels: Y 0 is black and Y 255 is white.
    struct Case {
        uint8_t y, u, v;
        uint32_t bgra;
    } cases[] = {{0, 128, 128, 0xFF000000u}, {255, 128, 128, 0xFFFFFFFFu}, {128, 128, 128, 0xFF808080u}};
    for (const Case& c : cases) {
        auto src = SolidYuy2(64, 16, c.y, c.u, c.v);
        std::vector<uint8_t> dst(64 * 16 * 4);
        ASSERT_EQ(ZomVideoTool::ConvertImage(64, 16, kYuvs, src.data(), 128, 64, 16, kBgra, dst.data(), 256),
                  0);
        uint32_t p = Pixel(dst, 64, 10, 10);
        for (int shift = 0; shift < 32; shift += 8)
            EXPECT_NEAR(int(p >> shift & 0xFF), int(c.bgra >> shift & 0xFF), 2) << "Y=" << int(c.y);
    }
}

TEST(ZomVideoTool, LetterboxesKeepingTheAspectRatio) {
    // 16:9 into 16:10: bars above and below, picture centred.
    auto rect = ZomVideoTool::LetterboxRect(1920, 1080, 1280, 800);
    EXPECT_EQ(rect.x, 0);
    EXPECT_EQ(rect.width, 1280);
    EXPECT_EQ(rect.height, 720);
    EXPECT_EQ(rect.y, 40);
    // 4:3 into 16:9: bars left and right.
    rect = ZomVideoTool::LetterboxRect(640, 480, 1920, 1080);
    EXPECT_EQ(rect.width, 1440);
    EXPECT_EQ(rect.x, 240);

    auto src = SolidYuy2(1920, 1080, 255, 128, 128);
    std::vector<uint8_t> dst(1280 * 800 * 4, 0x55);
    ASSERT_EQ(
        ZomVideoTool::ConvertImage(1920, 1080, kYuvs, src.data(), 3840, 1280, 800, kBgra, dst.data(), 5120),
        0);
    EXPECT_EQ(Pixel(dst, 1280, 640, 20), 0xFF000000u);  // top bar
    EXPECT_EQ(Pixel(dst, 1280, 640, 790), 0xFF000000u); // bottom bar
    EXPECT_GE(Pixel(dst, 1280, 0, 400) & 0xFF, 250u);   // picture (white)
    EXPECT_GE(Pixel(dst, 1280, 1279, 759) & 0xFF, 250u);
}

#include "platform/linux/ZomMjpegDecoder.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <vector>

namespace {
// A camera-like MJPEG frame: left half black, right half white.
std::vector<uint8_t> EncodeFrame(int width, int height, int subsampling) {
    std::vector<uint8_t> bgra(size_t(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t level = x < width / 2 ? 0 : 255;
            uint8_t* p = &bgra[(size_t(y) * width + x) * 4];
            p[0] = p[1] = p[2] = level;
            p[3] = 255;
        }
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, bgra.data(), width, width * 4, height, TJPF_BGRA, &jpeg, &size, subsampling, 90, 0);
    std::vector<uint8_t> out(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(handle);
    return out;
}
} // namespace

TEST(ZomMjpegDecoder, DecodesCommonSubsamplingsToYuy2) {
    for (int subsampling : {TJSAMP_422, TJSAMP_420, TJSAMP_444, TJSAMP_GRAY}) {
        auto jpeg = EncodeFrame(64, 32, subsampling);
        std::vector<uint8_t> yuy2(64 * 32 * 2);
        ZomMjpegDecoder decoder;
        ASSERT_TRUE(decoder.Decode(jpeg.data(), jpeg.size(), 64, 32, yuy2.data(), 128)) << subsampling;
        // Luma of a pixel in each half (YUY2: Y at even bytes), chroma neutral.
        EXPECT_LT(yuy2[(16 * 64 + 8) * 2], 20) << subsampling;
        EXPECT_GT(yuy2[(16 * 64 + 56) * 2], 235) << subsampling;
        EXPECT_NEAR(yuy2[(16 * 64 + 8) * 2 + 1], 128, 8) << subsampling;
    }
}

TEST(ZomMjpegDecoder, RefusesDamagedOrMismatchedFrames) {
    auto jpeg = EncodeFrame(64, 32, TJSAMP_422);
    std::vector<uint8_t> yuy2(64 * 32 * 2);
    ZomMjpegDecoder decoder;
    EXPECT_FALSE(decoder.Decode(jpeg.data(), jpeg.size(), 32, 32, yuy2.data(), 128)) << "size differs";
    EXPECT_FALSE(decoder.Decode(jpeg.data(), 20, 64, 32, yuy2.data(), 128)) << "truncated header";
    std::vector<uint8_t> garbage(500, 0xA5);
    EXPECT_FALSE(decoder.Decode(garbage.data(), garbage.size(), 64, 32, yuy2.data(), 128));
    EXPECT_FALSE(decoder.Decode(nullptr, 10, 64, 32, yuy2.data(), 128));
}

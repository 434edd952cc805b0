#include "platform/linux/ZomV4l2FormatChooser.h"

#include <gtest/gtest.h>

using Chooser = ZomV4l2FormatChooser;

TEST(ZomV4l2FormatChooser, PicksByExactSizeThenRateThenYuyv) {
    constexpr uint32_t Y = Chooser::kYuyv, M = Chooser::kMjpeg, H264 = 0x34363248;
    struct Case {
        const char* what;
        std::vector<Chooser::Offer> offers;
        bool ok;
        uint32_t fourcc;
        double rate;
    } cases[] = {
        {"YUYV at the rate wins over MJPEG",
         {{M, 1920, 1080, {60, 30}}, {Y, 1920, 1080, {60, 30}}},
         true,
         Y,
         60},
        {"MJPEG when only it reaches the rate",
         {{Y, 1920, 1080, {5}}, {M, 1920, 1080, {60, 30}}},
         true,
         M,
         60},
        {"highest rate when none reaches", {{Y, 1920, 1080, {10, 20}}, {M, 1920, 1080, {25}}}, true, M, 25},
        {"another size is never taken", {{Y, 1280, 720, {60}}}, false, 0, 0},
        {"other pixel formats are ignored", {{H264, 1920, 1080, {60}}}, false, 0, 0},
        {"unknown rates count as the request", {{Y, 1920, 1080, {}}}, true, Y, 60},
        {"nothing offered", {}, false, 0, 0},
    };
    for (const Case& c : cases) {
        auto choice = Chooser::Choose(c.offers, 1920, 1080, 60);
        EXPECT_EQ(choice.ok, c.ok) << c.what;
        if (c.ok) {
            EXPECT_EQ(choice.fourcc, c.fourcc) << c.what;
            EXPECT_DOUBLE_EQ(choice.rate, c.rate) << c.what;
        } else {
            EXPECT_NE(choice.error.find("1920x1080"), std::string::npos) << c.what;
        }
    }
}

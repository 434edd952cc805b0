#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Picks the stream format of a V4L2 camera for a requested size and rate.
class ZomV4l2FormatChooser {
public:
    static constexpr uint32_t kYuyv = 0x56595559;  // V4L2_PIX_FMT_YUYV
    static constexpr uint32_t kMjpeg = 0x47504A4D; // V4L2_PIX_FMT_MJPEG

    struct Offer {
        uint32_t fourcc;
        int width;
        int height;
        std::vector<double> rates; // frames per second; empty when unknown
    };
    struct Choice {
        bool ok = false;
        uint32_t fourcc = 0;
        int width = 0;
        int height = 0;
        double rate = 0;
        std::string error;
    };

    // Only the exact size is accepted. Among the offers of that size, one that
    // reaches the requested rate wins, YUYV before MJPEG; otherwise the highest
    // rate, YUYV on a tie. Other pixel formats are ignored.
    static Choice Choose(const std::vector<Offer>& offers, int width, int height, int fps);
};

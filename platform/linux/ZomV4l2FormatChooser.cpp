#include "platform/linux/ZomV4l2FormatChooser.h"

#include <cstdio>

ZomV4l2FormatChooser::Choice ZomV4l2FormatChooser::Choose(const std::vector<Offer>& offers, int width,
                                                          int height, int fps) {
    Choice best;
    int bestScore = -1;
    for (const Offer& offer : offers) {
        if (offer.fourcc != kYuyv && offer.fourcc != kMjpeg)
            continue;
        if (offer.width != width || offer.height != height)
            continue;
        // A camera that does not list its rates is taken at the requested one.
        std::vector<double> rates = offer.rates.empty() ? std::vector<double>{double(fps)} : offer.rates;
        for (double rate : rates) {
            bool reaches = rate + 0.5 >= fps;
            // Reaching the rate matters most, then the rate closest to the
            // request (not above it when reached), then YUYV over MJPEG.
            double closeness = reaches ? 1000.0 - (rate - fps) : rate;
            int score = (reaches ? 1 << 30 : 0) + int(closeness * 100) * 2 + (offer.fourcc == kYuyv ? 1 : 0);
            if (score > bestScore) {
                bestScore = score;
                best.ok = true;
                best.fourcc = offer.fourcc;
                best.width = offer.width;
                best.height = offer.height;
                best.rate = reaches ? double(fps) : rate;
            }
        }
    }
    if (!best.ok) {
        char text[96];
        std::snprintf(text, sizeof(text), "the camera offers no YUYV or MJPEG stream of %dx%d", width,
                      height);
        best.error = text;
    }
    return best;
}

#pragma once
#include <cstdint>

// The format of a camera stream: what is asked for at open, and what the
// camera granted.
struct ZomCameraSpec {
    static constexpr uint32_t kFormatYuy2 = 0x32595559;     // "YUY2": Y0 U Y1 V
    static constexpr uint32_t kColorspaceJpeg = 0x220004C6; // full-range BT.601 YCbCr

    uint32_t format = kFormatYuy2;
    uint32_t colorspace = kColorspaceJpeg;
    int width = 0;
    int height = 0;
    int fpsNumerator = 0;
    int fpsDenominator = 1;
};

// One frame held by the caller between acquire and release. The pixels stay
// valid until the release.
struct ZomCameraFrame {
    const uint8_t* pixels = nullptr;
    int pitch = 0;
    int width = 0;
    int height = 0;
    uint32_t format = ZomCameraSpec::kFormatYuy2;
    uint64_t timestampNs = 0;
    uint64_t sequence = 0;
    int slot = -1; // backend's own buffer index
};

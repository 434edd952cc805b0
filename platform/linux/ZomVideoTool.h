#pragma once
#include <cstdint>

// Pixel conversion and letterbox scaling for video frames, and the camera
// effect query (no such effects exist on this platform).
class ZomVideoTool {
public:
    // Four-character codes of the pixel formats the callers use (first
    // character in the highest byte).
    static constexpr uint32_t kFormatYuvs = 0x79757673; // "yuvs": Y0 Cb Y1 Cr, 16 bits a pixel
    static constexpr uint32_t kFormatBgra = 0x42475241; // "BGRA": B, G, R, A bytes in memory

    // Converts and scales in one call; the picture keeps its aspect ratio
    // inside the destination and the bars are opaque black. Returns 0 on
    // success, non-zero on failure (null pixels, bad sizes, unsupported
    // formats).
    static int ConvertImage(int srcWidth, int srcHeight, uint32_t srcFormat, const void* srcPixels,
                            int srcPitch, int dstWidth, int dstHeight, uint32_t dstFormat, void* dstPixels,
                            int dstPitch);

    static bool IsCameraEffectEnabled() { return false; }

    // The destination rectangle of a letterboxed picture (exposed for tests).
    struct Rect {
        int x, y, width, height;
    };
    static Rect LetterboxRect(int srcWidth, int srcHeight, int dstWidth, int dstHeight);
};

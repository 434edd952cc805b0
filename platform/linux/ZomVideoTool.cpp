#include "platform/linux/ZomVideoTool.h"

#include <libyuv/convert_argb.h>
#include <libyuv/cpu_id.h>
#include <libyuv/planar_functions.h>
#include <libyuv/row.h>
#include <libyuv/scale_argb.h>

#include <cstddef>
#include <vector>

ZomVideoTool::Rect ZomVideoTool::LetterboxRect(int srcWidth, int srcHeight, int dstWidth, int dstHeight) {
    // Fit by the tighter dimension; 64-bit products keep large frames exact.
    int64_t widthBySrcHeight = int64_t(dstWidth) * srcHeight;
    int64_t heightBySrcWidth = int64_t(dstHeight) * srcWidth;
    Rect rect{0, 0, dstWidth, dstHeight};
    if (widthBySrcHeight > heightBySrcWidth) {
        rect.width = int(heightBySrcWidth / srcHeight);
        rect.x = (dstWidth - rect.width) / 2;
    } else if (widthBySrcHeight < heightBySrcWidth) {
        rect.height = int(widthBySrcHeight / srcWidth);
        rect.y = (dstHeight - rect.height) / 2;
    }
    if (rect.width < 1)
        rect.width = 1;
    if (rect.height < 1)
        rect.height = 1;
    return rect;
}

namespace {
// YUY2 from the camera is full-range BT.601 (JPEG levels). libyuv's one-call
// conversion assumes video levels, so its row converters are called with the
// full-range matrix, picked once for this processor.
using Yuy2RowFunction = void (*)(const uint8_t*, uint8_t*, const libyuv::YuvConstants*, int);

Yuy2RowFunction PickYuy2Row() {
#if defined(HAS_YUY2TOARGBROW_AVX2)
    if (libyuv::TestCpuFlag(libyuv::kCpuHasAVX2))
        return libyuv::YUY2ToARGBRow_Any_AVX2;
#endif
#if defined(HAS_YUY2TOARGBROW_SSSE3)
    if (libyuv::TestCpuFlag(libyuv::kCpuHasSSSE3))
        return libyuv::YUY2ToARGBRow_Any_SSSE3;
#endif
    return libyuv::YUY2ToARGBRow_C;
}

int Yuy2ToBgraFullRange(const uint8_t* src, int srcPitch, uint8_t* dst, int dstPitch, int width, int height) {
    static const Yuy2RowFunction row = PickYuy2Row();
    for (int y = 0; y < height; ++y)
        row(src + ptrdiff_t(y) * srcPitch, dst + ptrdiff_t(y) * dstPitch, &libyuv::kYuvJPEGConstants, width);
    return 0;
}

void FillBars(uint8_t* dst, int dstPitch, int dstWidth, int dstHeight, const ZomVideoTool::Rect& r) {
    constexpr uint32_t kOpaqueBlack = 0xFF000000u;
    if (r.y > 0)
        libyuv::ARGBRect(dst, dstPitch, 0, 0, dstWidth, r.y, kOpaqueBlack);
    int bottom = r.y + r.height;
    if (bottom < dstHeight)
        libyuv::ARGBRect(dst, dstPitch, 0, bottom, dstWidth, dstHeight - bottom, kOpaqueBlack);
    if (r.x > 0)
        libyuv::ARGBRect(dst, dstPitch, 0, r.y, r.x, r.height, kOpaqueBlack);
    int right = r.x + r.width;
    if (right < dstWidth)
        libyuv::ARGBRect(dst, dstPitch, right, r.y, dstWidth - right, r.height, kOpaqueBlack);
}
} // namespace

int ZomVideoTool::ConvertImage(int srcWidth, int srcHeight, uint32_t srcFormat, const void* srcPixels,
                               int srcPitch, int dstWidth, int dstHeight, uint32_t dstFormat, void* dstPixels,
                               int dstPitch) {
    if (!srcPixels || !dstPixels)
        return -1;
    if (srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0)
        return -2;
    if (dstFormat != kFormatBgra || (srcFormat != kFormatYuvs && srcFormat != kFormatBgra))
        return -3;
    int srcBytesPerPixel = srcFormat == kFormatYuvs ? 2 : 4;
    if (srcPitch < srcWidth * srcBytesPerPixel || dstPitch < dstWidth * 4)
        return -4;

    auto* src = static_cast<const uint8_t*>(srcPixels);
    auto* dst = static_cast<uint8_t*>(dstPixels);
    Rect rect = LetterboxRect(srcWidth, srcHeight, dstWidth, dstHeight);
    FillBars(dst, dstPitch, dstWidth, dstHeight, rect);
    uint8_t* target = dst + ptrdiff_t(rect.y) * dstPitch + ptrdiff_t(rect.x) * 4;

    bool sameSize = rect.width == srcWidth && rect.height == srcHeight;
    if (srcFormat == kFormatBgra) {
        if (sameSize)
            return libyuv::ARGBCopy(src, srcPitch, target, dstPitch, srcWidth, srcHeight) == 0 ? 0 : -5;
        return libyuv::ARGBScale(src, srcPitch, srcWidth, srcHeight, target, dstPitch, rect.width,
                                 rect.height, libyuv::kFilterBilinear) == 0
                   ? 0
                   : -5;
    }
    if (sameSize)
        return Yuy2ToBgraFullRange(src, srcPitch, target, dstPitch, srcWidth, srcHeight) == 0 ? 0 : -5;

    // Convert at the source size into a per-thread scratch image, then scale.
    thread_local std::vector<uint8_t> scratch;
    size_t needed = size_t(srcWidth) * size_t(srcHeight) * 4;
    if (scratch.size() < needed)
        scratch.resize(needed);
    if (Yuy2ToBgraFullRange(src, srcPitch, scratch.data(), srcWidth * 4, srcWidth, srcHeight) != 0)
        return -5;
    return libyuv::ARGBScale(scratch.data(), srcWidth * 4, srcWidth, srcHeight, target, dstPitch, rect.width,
                             rect.height, libyuv::kFilterBilinear) == 0
               ? 0
               : -5;
}

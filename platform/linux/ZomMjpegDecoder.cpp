#include "platform/linux/ZomMjpegDecoder.h"

#include <libyuv/convert_from.h>
#include <libyuv/planar_functions.h>
#include <turbojpeg.h>

ZomMjpegDecoder::ZomMjpegDecoder() : mHandle(tjInitDecompress()) {}

ZomMjpegDecoder::~ZomMjpegDecoder() {
    if (mHandle)
        tjDestroy(static_cast<tjhandle>(mHandle));
}

bool ZomMjpegDecoder::Decode(const uint8_t* jpeg, size_t size, int width, int height, uint8_t* yuy2,
                             int pitch) {
    if (!mHandle || !jpeg || size == 0 || size > 0x7FFFFFFF || !yuy2 || width <= 0 || height <= 0 ||
        pitch < width * 2)
        return false;
    auto handle = static_cast<tjhandle>(mHandle);
    int jpegWidth = 0, jpegHeight = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(handle, jpeg, static_cast<unsigned long>(size), &jpegWidth, &jpegHeight,
                            &subsampling, &colorspace) != 0)
        return false;
    if (jpegWidth != width || jpegHeight != height)
        return false;

    int flags = TJFLAG_FASTDCT | TJFLAG_NOREALLOC;
    if (subsampling == TJSAMP_422 || subsampling == TJSAMP_420) {
        int chromaWidth = (width + 1) / 2;
        int chromaHeight = subsampling == TJSAMP_420 ? (height + 1) / 2 : height;
        size_t ySize = size_t(width) * size_t(height);
        size_t cSize = size_t(chromaWidth) * size_t(chromaHeight);
        mPlanes.resize(ySize + 2 * cSize);
        unsigned char* planes[3] = {mPlanes.data(), mPlanes.data() + ySize, mPlanes.data() + ySize + cSize};
        int strides[3] = {width, chromaWidth, chromaWidth};
        if (tjDecompressToYUVPlanes(handle, jpeg, static_cast<unsigned long>(size), planes, width, strides,
                                    height, flags) != 0)
            return false;
        if (subsampling == TJSAMP_422)
            return libyuv::I422ToYUY2(planes[0], strides[0], planes[1], strides[1], planes[2], strides[2],
                                      yuy2, pitch, width, height) == 0;
        return libyuv::I420ToYUY2(planes[0], strides[0], planes[1], strides[1], planes[2], strides[2], yuy2,
                                  pitch, width, height) == 0;
    }
    // Other subsamplings are rare in cameras: decode the planes as they are
    // and pick the chroma sample under each pixel pair (keeps JPEG levels).
    if (subsampling == TJSAMP_GRAY) {
        mPlanes.resize(size_t(width) * size_t(height));
        if (tjDecompressToYUV2(handle, jpeg, static_cast<unsigned long>(size), mPlanes.data(), width, 1,
                               height, flags) != 0)
            return false;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                yuy2[size_t(y) * pitch + size_t(x) * 2] = mPlanes[size_t(y) * width + x];
                yuy2[size_t(y) * pitch + size_t(x) * 2 + 1] = 128;
            }
        return true;
    }
    int widths[3], heights[3];
    size_t offsets[3], total = 0;
    for (int c = 0; c < 3; ++c) {
        widths[c] = tjPlaneWidth(c, width, subsampling);
        heights[c] = tjPlaneHeight(c, height, subsampling);
        if (widths[c] <= 0 || heights[c] <= 0)
            return false;
        offsets[c] = total;
        total += size_t(widths[c]) * size_t(heights[c]);
    }
    mPlanes.resize(total);
    unsigned char* planes[3] = {mPlanes.data() + offsets[0], mPlanes.data() + offsets[1],
                                mPlanes.data() + offsets[2]};
    if (tjDecompressToYUVPlanes(handle, jpeg, static_cast<unsigned long>(size), planes, width, widths, height,
                                flags) != 0)
        return false;
    for (int y = 0; y < height; ++y) {
        uint8_t* out = yuy2 + size_t(y) * pitch;
        const uint8_t* lumaRow = planes[0] + size_t(y) * widths[0];
        int cy = int(int64_t(y) * heights[1] / height);
        const uint8_t* uRow = planes[1] + size_t(cy) * widths[1];
        const uint8_t* vRow = planes[2] + size_t(cy) * widths[2];
        for (int x = 0; x < width; x += 2) {
            int cx = int(int64_t(x) * widths[1] / width);
            out[x * 2] = lumaRow[x];
            out[x * 2 + 1] = uRow[cx];
            out[x * 2 + 2] = x + 1 < width ? lumaRow[x + 1] : lumaRow[x];
            out[x * 2 + 3] = vRow[cx];
        }
    }
    return true;
}

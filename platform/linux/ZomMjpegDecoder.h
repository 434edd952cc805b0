#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Decodes motion-JPEG frames into YUY2 for cameras that offer only MJPEG.
// The frame bytes are untrusted: any damage gives false, never a crash.
class ZomMjpegDecoder {
public:
    ZomMjpegDecoder();
    ~ZomMjpegDecoder();
    ZomMjpegDecoder(const ZomMjpegDecoder&) = delete;
    ZomMjpegDecoder& operator=(const ZomMjpegDecoder&) = delete;

    // Decodes into `yuy2` (pitch width * 2). The picture must be exactly
    // width x height.
    bool Decode(const uint8_t* jpeg, size_t size, int width, int height, uint8_t* yuy2, int pitch);

private:
    void* mHandle = nullptr;
    std::vector<uint8_t> mPlanes;
};

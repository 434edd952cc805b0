#pragma once
#include "platform/linux/ZomCameraDeviceI.h"
#include "platform/linux/ZomMjpegDecoder.h"
#include "platform/linux/ZomV4l2FormatChooser.h"

#include <memory>
#include <string>
#include <vector>

// A V4L2 capture device streaming through memory-mapped buffers. YUYV frames
// are handed out in place; MJPEG frames are decoded into one YUY2 image.
class ZomV4l2Camera : public ZomCameraDeviceI {
public:
    ~ZomV4l2Camera() override;

    static std::unique_ptr<ZomV4l2Camera> Open(const std::string& path, const ZomCameraSpec& requested,
                                               std::string& error);
    // The device's offers: every YUYV/MJPEG size with its discrete rates.
    static std::vector<ZomV4l2FormatChooser::Offer> EnumerateOffers(int fd);

    ZomCameraSpec GetSpec() const override { return mSpec; }
    Acquire AcquireFrame(ZomCameraFrame& frame) override;
    void ReleaseFrame(ZomCameraFrame& frame) override;
    bool IsLost() const override { return mLost; }

private:
    ZomV4l2Camera() = default;
    bool Start(std::string& error);
    void Stop();

    struct Buffer {
        void* start = nullptr;
        size_t length = 0;
    };
    int mFd = -1;
    bool mLost = false;
    bool mStreaming = false;
    uint32_t mFourcc = 0;
    int mBytesPerLine = 0;
    ZomCameraSpec mSpec;
    std::vector<Buffer> mBuffers;
    ZomMjpegDecoder mDecoder;
    std::vector<uint8_t> mDecoded;
    uint64_t mSequence = 0;
};

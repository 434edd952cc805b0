#pragma once
#include "device/transport/ZocCaptureResponse.h"
#include "platform/linux/ZomCameraSpec.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The Tovi's camera: opened by the Tovi's id, pumped by the session's
// capture loop, frames handed to registered consumers in place.
class ZocVideoCaptureI {
public:
    // (userData, frame, camera timestamp in ns, frame count since open).
    // Runs on the capture thread with the capture's lock held: copy what is
    // needed and return; never call back into the capture.
    using ConsumerCallback = void (*)(void* userData, const ZomCameraFrame& frame, uint64_t timestampNs,
                                      uint64_t frameCount);

    enum Status : int { NoFrame = 0, NotOpen = 1, CameraLost = 2, FrameDelivered = 3 };

    static std::unique_ptr<ZocVideoCaptureI> CreateInstance();
    // Names of the Tovi cameras ("... Tovi (id) ..."), in the camera layer's order.
    static std::vector<std::string> GetToviDevices();

    virtual ~ZocVideoCaptureI() = default;
    virtual ZocCaptureResponse Open(const std::string& idString) = 0;
    virtual void Close(bool deviceLost) = 0;
    virtual bool IsOpened() = 0;
    virtual uint32_t GetSpec(int& width, int& height, int& fps) = 0;
    virtual int RegisterConsumer(ConsumerCallback callback, void* userData) = 0;
    virtual void UnRegisterConsumer(int id) = 0;
    virtual Status DoCapture() = 0;
};

#pragma once
#include "platform/linux/ZomCameraBackendI.h"

// Cameras of /dev/video*: capture devices that stream.
class ZomV4l2CameraBackend : public ZomCameraBackendI {
public:
    static constexpr const char* kIdPrefix = "v4l2:";

    void List(std::vector<ZomCameraInfo>& cameras) override;
    bool Owns(const std::string& id) const override;
    std::unique_ptr<ZomCameraDeviceI> Open(const std::string& id, const ZomCameraSpec& requested,
                                           std::string& error) override;
};

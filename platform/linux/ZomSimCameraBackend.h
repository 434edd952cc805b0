#pragma once
#include "platform/linux/ZomCameraBackendI.h"

// Cameras of simulated Tovis: the YUY2 stream tovi-sim publishes in shared
// memory, listed from the runtime registry.
class ZomSimCameraBackend : public ZomCameraBackendI {
public:
    static constexpr const char* kIdPrefix = "sim:";

    void List(std::vector<ZomCameraInfo>& cameras) override;
    bool Owns(const std::string& id) const override;
    std::unique_ptr<ZomCameraDeviceI> Open(const std::string& id, const ZomCameraSpec& requested,
                                           std::string& error) override;
};

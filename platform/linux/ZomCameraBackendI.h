#pragma once
#include "platform/linux/ZomCameraDeviceI.h"

#include <memory>
#include <string>
#include <vector>

struct ZomCameraInfo {
    std::string id;   // unique within the layer, e.g. "v4l2:/dev/video0"
    std::string name; // what the device calls itself
};

// A source of cameras (V4L2 devices, simulated Tovis).
class ZomCameraBackendI {
public:
    virtual ~ZomCameraBackendI() = default;
    virtual void List(std::vector<ZomCameraInfo>& cameras) = 0;
    virtual bool Owns(const std::string& id) const = 0;
    virtual std::unique_ptr<ZomCameraDeviceI> Open(const std::string& id, const ZomCameraSpec& requested,
                                                   std::string& error) = 0;
};

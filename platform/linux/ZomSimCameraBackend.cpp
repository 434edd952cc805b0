#include "platform/linux/ZomSimCameraBackend.h"

#include "platform/linux/ZomSimCamera.h"
#include "platform/linux/ZomSimDeviceRegistry.h"

#include <cstring>

void ZomSimCameraBackend::List(std::vector<ZomCameraInfo>& cameras) {
    for (const auto& entry : ZomSimDeviceRegistry::List())
        if (!entry.cameraName.empty() && !entry.cameraShm.empty())
            cameras.push_back({kIdPrefix + entry.cameraShm, entry.cameraName});
}

bool ZomSimCameraBackend::Owns(const std::string& id) const {
    return id.rfind(kIdPrefix, 0) == 0;
}

std::unique_ptr<ZomCameraDeviceI>
ZomSimCameraBackend::Open(const std::string& id, const ZomCameraSpec& requested, std::string& error) {
    return ZomSimCamera::Open(id.substr(std::strlen(kIdPrefix)), requested, error);
}

#include "platform/linux/ZomCamera.h"

#include "platform/linux/ZomSimCameraBackend.h"
#include "platform/linux/ZomV4l2CameraBackend.h"

#include <algorithm>
#include <mutex>

namespace {
std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
}

std::vector<std::shared_ptr<ZomCameraBackendI>>& Backends() {
    static std::vector<std::shared_ptr<ZomCameraBackendI>> backends{std::make_shared<ZomV4l2CameraBackend>(),
                                                                   std::make_shared<ZomSimCameraBackend>()};
    return backends;
}

std::vector<std::shared_ptr<ZomCameraBackendI>> Snapshot() {
    std::lock_guard lock(Mutex());
    return Backends();
}
} // namespace

std::vector<ZomCameraInfo> ZomCamera::GetCameras() {
    std::vector<ZomCameraInfo> cameras;
    for (auto& backend : Snapshot())
        backend->List(cameras);
    return cameras;
}

std::unique_ptr<ZomCameraDeviceI> ZomCamera::Open(const std::string& id, const ZomCameraSpec& requested,
                                                  std::string& error) {
    for (auto& backend : Snapshot())
        if (backend->Owns(id))
            return backend->Open(id, requested, error);
    error = "No such camera: " + id;
    return nullptr;
}

void ZomCamera::AddBackend(std::shared_ptr<ZomCameraBackendI> backend) {
    std::lock_guard lock(Mutex());
    Backends().push_back(std::move(backend));
}

void ZomCamera::RemoveBackend(const std::shared_ptr<ZomCameraBackendI>& backend) {
    std::lock_guard lock(Mutex());
    auto& list = Backends();
    list.erase(std::remove(list.begin(), list.end(), backend), list.end());
}

bool ZomCamera::Reset(std::string& error) {
    // Every listing walks the devices afresh, so there is no cached state to
    // drop; open cameras keep their own handles.
    error.clear();
    return true;
}

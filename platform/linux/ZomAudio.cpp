#include "platform/linux/ZomAudio.h"

#include "platform/linux/ZomSdlAudioBackend.h"
#include "platform/linux/ZomSimAudioBackend.h"

#include <algorithm>
#include <mutex>

namespace {
std::mutex gMutex;
std::vector<std::shared_ptr<ZomAudioBackendI>>& Backends() {
    static std::vector<std::shared_ptr<ZomAudioBackendI>> backends{std::make_shared<ZomSdlAudioBackend>(),
                                                                  std::make_shared<ZomSimAudioBackend>()};
    return backends;
}
std::vector<std::shared_ptr<ZomAudioBackendI>> Snapshot() {
    std::lock_guard lock(gMutex);
    return Backends();
}
} // namespace

std::vector<std::string> ZomAudio::GetInputNames() {
    std::vector<std::string> names;
    for (auto& backend : Snapshot())
        backend->List(names);
    return names;
}

std::unique_ptr<ZomAudioInputI> ZomAudio::OpenInput(const std::string& name, std::string& error) {
    for (auto& backend : Snapshot())
        if (backend->Has(name))
            return backend->Open(name, error);
    error = "No such audio input: " + name;
    return nullptr;
}

void ZomAudio::AddBackend(std::shared_ptr<ZomAudioBackendI> backend) {
    std::lock_guard lock(gMutex);
    Backends().push_back(std::move(backend));
}

void ZomAudio::RemoveBackend(const std::shared_ptr<ZomAudioBackendI>& backend) {
    std::lock_guard lock(gMutex);
    auto& list = Backends();
    list.erase(std::remove(list.begin(), list.end(), backend), list.end());
}

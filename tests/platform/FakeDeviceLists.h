#pragma once
// Camera and audio backends that only list names, for discovery tests.
#include "platform/linux/ZomAudio.h"
#include "platform/linux/ZomCamera.h"

#include <memory>
#include <string>
#include <vector>

struct FakeCameraList : ZomCameraBackendI {
    std::vector<std::string> names;
    void List(std::vector<ZomCameraInfo>& out) override {
        for (size_t i = 0; i < names.size(); ++i)
            out.push_back({"fakelist:" + std::to_string(i), names[i]});
    }
    bool Owns(const std::string& id) const override { return id.rfind("fakelist:", 0) == 0; }
    std::unique_ptr<ZomCameraDeviceI> Open(const std::string&, const ZomCameraSpec&,
                                           std::string& error) override {
        error = "listing only";
        return nullptr;
    }
};

struct FakeAudioList : ZomAudioBackendI {
    std::vector<std::string> names;
    void List(std::vector<std::string>& out) override { out.insert(out.end(), names.begin(), names.end()); }
    bool Has(const std::string&) override { return false; }
    std::unique_ptr<ZomAudioInputI> Open(const std::string&, std::string& error) override {
        error = "listing only";
        return nullptr;
    }
};

// Installs both for the life of the object.
struct FakeDeviceLists {
    std::shared_ptr<FakeCameraList> cameras = std::make_shared<FakeCameraList>();
    std::shared_ptr<FakeAudioList> audio = std::make_shared<FakeAudioList>();
    FakeDeviceLists() {
        ZomCamera::AddBackend(cameras);
        ZomAudio::AddBackend(audio);
    }
    ~FakeDeviceLists() {
        ZomCamera::RemoveBackend(cameras);
        ZomAudio::RemoveBackend(audio);
    }
};

#pragma once
#include "media/ZocVideoCaptureI.h"
#include "platform/linux/ZomCameraDeviceI.h"

#include <functional>
#include <map>
#include <mutex>

class ZocVideoCapture : public ZocVideoCaptureI {
public:
    ~ZocVideoCapture() override;

    ZocCaptureResponse Open(const std::string& idString) override;
    void Close(bool deviceLost) override;
    bool IsOpened() override;
    uint32_t GetSpec(int& width, int& height, int& fps) override;
    int RegisterConsumer(ConsumerCallback callback, void* userData) override;
    void UnRegisterConsumer(int id) override;
    Status DoCapture() override;

    // Called after a lost camera was closed, so that the camera subsystem is
    // re-initialised before the Tovi is opened again (discovery installs it).
    static void SetLostCameraHandler(std::function<void()> handler);

private:
    // Walks the Tovi cameras until `visitor` returns false.
    static void
    ForEachDevice(const std::function<bool(const std::string& id, const std::string& name)>& visitor);
    void CloseLocked(bool deviceLost);

    struct Consumer {
        ConsumerCallback callback;
        void* userData;
    };
    std::mutex mMutex;
    std::unique_ptr<ZomCameraDeviceI> mCamera;
    ZomCameraSpec mSpec{};
    std::map<int, Consumer> mConsumers;
    uint64_t mFrameCount = 0;
};

#include "media/ZocVideoCapture.h"

#include "app/ZocLog.h"
#include "app/ZocSettings.h"
#include "platform/linux/ZomCamera.h"

#include <atomic>

namespace {
std::atomic<int> sConsumerIds{0};

std::mutex& HandlerMutex() {
    static std::mutex mutex;
    return mutex;
}
std::function<void()>& LostCameraHandler() {
    static std::function<void()> handler;
    return handler;
}
void OnLostCameraClosed() {
    std::function<void()> handler;
    {
        std::lock_guard lock(HandlerMutex());
        handler = LostCameraHandler();
    }
    if (handler)
        handler();
}
} // namespace

std::unique_ptr<ZocVideoCaptureI> ZocVideoCaptureI::CreateInstance() {
    return std::make_unique<ZocVideoCapture>();
}

void ZocVideoCapture::SetLostCameraHandler(std::function<void()> handler) {
    std::lock_guard lock(HandlerMutex());
    LostCameraHandler() = std::move(handler);
}

void ZocVideoCapture::ForEachDevice(
    const std::function<bool(const std::string& id, const std::string& name)>& visitor) {
    for (const ZomCameraInfo& camera : ZomCamera::GetCameras()) {
        ZocLog::Video().Trace("Found video: %s", camera.name.c_str());
        if (camera.name.find("Tovi (") != std::string::npos && !visitor(camera.id, camera.name))
            break;
    }
}

std::vector<std::string> ZocVideoCaptureI::GetToviDevices() {
    std::vector<std::string> names;
    for (const ZomCameraInfo& camera : ZomCamera::GetCameras()) {
        ZocLog::Video().Trace("Found video: %s", camera.name.c_str());
        if (camera.name.find("Tovi (") != std::string::npos)
            names.push_back(camera.name);
    }
    return names;
}

ZocVideoCapture::~ZocVideoCapture() {
    std::lock_guard lock(mMutex);
    CloseLocked(false);
    mConsumers.clear();
}

ZocCaptureResponse ZocVideoCapture::Open(const std::string& idString) {
    std::string cameraId;
    ForEachDevice([&](const std::string& id, const std::string& name) {
        if (name.find(idString) == std::string::npos)
            return true;
        cameraId = id;
        return false;
    });
    if (cameraId.empty())
        return ZocCaptureResponse::Fail("Open Video Capture", "The device was not found: " + idString);

    std::lock_guard lock(mMutex);
    CloseLocked(false);
    const auto& video = ZocSettings::Instance().device.video;
    ZomCameraSpec requested;
    requested.format = ZomCameraSpec::kFormatYuy2;
    requested.colorspace = ZomCameraSpec::kColorspaceJpeg;
    requested.width = video.frameWidth;
    requested.height = video.frameHeight;
    requested.fpsNumerator = video.refreshRate;
    requested.fpsDenominator = 1;
    mFrameCount = 0;

    std::string error;
    mCamera = ZomCamera::Open(cameraId, requested, error);
    if (!mCamera)
        return ZocCaptureResponse::Fail("Open Video Capture",
                                        "Failed to open camera: " + idString + ", error: " + error);
    mSpec = mCamera->GetSpec();
    ZocLog::Video().Info("Video capture device was opened, name: %s, format: %d, %dx%d, fps: %d/%d",
                         idString.c_str(), int(mSpec.format), mSpec.width, mSpec.height, mSpec.fpsNumerator,
                         mSpec.fpsDenominator);
    return ZocCaptureResponse::Ok();
}

void ZocVideoCapture::CloseLocked(bool deviceLost) {
    if (!mCamera)
        return;
    bool lost = deviceLost || mCamera->IsLost();
    mCamera.reset();
    mSpec = {};
    if (lost && !deviceLost)
        OnLostCameraClosed();
}

void ZocVideoCapture::Close(bool deviceLost) {
    std::lock_guard lock(mMutex);
    CloseLocked(deviceLost);
}

bool ZocVideoCapture::IsOpened() {
    std::lock_guard lock(mMutex);
    return mCamera != nullptr;
}

uint32_t ZocVideoCapture::GetSpec(int& width, int& height, int& fps) {
    std::lock_guard lock(mMutex);
    if ((mSpec.width == 0 || mSpec.height == 0) && mCamera)
        mSpec = mCamera->GetSpec();
    width = mSpec.width;
    height = mSpec.height;
    fps = mSpec.fpsDenominator ? mSpec.fpsNumerator / mSpec.fpsDenominator : 0;
    return mSpec.format;
}

int ZocVideoCapture::RegisterConsumer(ConsumerCallback callback, void* userData) {
    std::lock_guard lock(mMutex);
    int id = ++sConsumerIds;
    mConsumers[id] = {callback, userData};
    return id;
}

void ZocVideoCapture::UnRegisterConsumer(int id) {
    std::lock_guard lock(mMutex);
    mConsumers.erase(id);
}

ZocVideoCaptureI::Status ZocVideoCapture::DoCapture() {
    std::lock_guard lock(mMutex);
    if (!mCamera)
        return NotOpen;
    if (mCamera->IsLost()) {
        ZocLog::Video().Info("Zombie carema detected");
        return CameraLost;
    }
    ZomCameraFrame frame;
    switch (mCamera->AcquireFrame(frame)) {
    case ZomCameraDeviceI::Acquire::NoFrame:
        return NoFrame;
    case ZomCameraDeviceI::Acquire::Lost:
        ZocLog::Video().Info("Zombie carema detected");
        return CameraLost;
    case ZomCameraDeviceI::Acquire::Frame:
        break;
    }
    ++mFrameCount;
    for (auto& [id, consumer] : mConsumers)
        if (consumer.callback)
            consumer.callback(consumer.userData, frame, frame.timestampNs, mFrameCount);
    mCamera->ReleaseFrame(frame);
    return FrameDelivered;
}

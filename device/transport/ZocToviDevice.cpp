#include "device/transport/ZocToviDevice.h"

#include "app/ZocGlobals.h"
#include "app/ZocLog.h"
#include "app/ZocSettings.h"
#include "device/protocol/ZocToviMsg.h"
#include "device/transport/ZocAutoConnect.h"
#include "device/transport/ZocCommPort.h"
#include "device/transport/ZocToviHidPort.h"
#include "media/ZocAudioCaptureI.h"
#include "media/ZocVideoCapture.h"
#include "ui/ImGuiToast.h"
#include "ui/ZocModalDialog.h"

#include <chrono>
#include <memory>

namespace {
struct Endpoints {
    std::unique_ptr<ZocCommPortI> comm;
    std::unique_ptr<ZocAudioCaptureI> audio;
    std::unique_ptr<ZocVideoCaptureI> video;
};
Endpoints& Ends() {
    static Endpoints endpoints;
    return endpoints;
}

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
} // namespace

ZocVideoCaptureI* ZocToviDevice::GetVideoCapture() {
    return Ends().video.get();
}
ZocAudioCaptureI* ZocToviDevice::GetAudioCapture() {
    return Ends().audio.get();
}
ZocCommPortI* ZocToviDevice::GetCommPort() {
    return Ends().comm.get();
}

void ZocToviDevice::Initialize() {
    if (sInitialized.exchange(true))
        return;
    Endpoints& ends = Ends();
    ends.comm = ZocCommPortI::CreateInstance();
    ends.audio = ZocAudioCaptureI::CreateInstance();
    ends.video = ZocVideoCaptureI::CreateInstance();

    // A camera that went away while open: the camera layer re-enumerates
    // before the Tovi is opened again.
    ZocVideoCapture::SetLostCameraHandler([] { ZocToviDeviceInfo::ResetVideoSubSystem(false); });
    // A failing write on a port whose device is gone.
    ZocCommPort::unplugHooks.disconnectUnplugged = [] { Disconnect(true); };
    // A rejected information report arrives on the message input thread,
    // which closing the port would join: the main loop disconnects.
    ZocToviMsg::hooks.requestDisconnect = [] { RequestDisconnect(); };

    ZocToviDeviceInfo::Initialize();
    CreateThread();
}

void ZocToviDevice::Finalize() {
    if (!sInitialized.exchange(false))
        return;
    ZocToviDeviceInfo::Finalize();
    ShutdownThread();
    Disconnect(false);
    ZocToviMsg::hooks.requestDisconnect = nullptr;
    ZocCommPort::unplugHooks.disconnectUnplugged = nullptr;
    ZocVideoCapture::SetLostCameraHandler(nullptr);
    std::lock_guard lock(sMutex);
    Endpoints& ends = Ends();
    ends.comm.reset();
    ends.audio.reset();
    ends.video.reset();
}

void ZocToviDevice::CreateThread() {
    std::lock_guard lock(sThreadMutex);
    if (sThread.joinable())
        return;
    sStop = false;
    sThread = std::thread(CaptureLoop);
}

void ZocToviDevice::ShutdownThread() {
    std::lock_guard lock(sThreadMutex);
    sStop = true;
    WakeCaptureLoop();
    if (sThread.joinable())
        sThread.join();
}

int ZocToviDevice::GetCaptureSleepMs(int refreshRate) {
    if (refreshRate <= 0)
        return 150 / 30;
    int ms = 150 / refreshRate;
    return ms < 1 ? 1 : ms;
}

void ZocToviDevice::CaptureLoop() {
    while (!sStop) {
        uint32_t expected = Up;
        if (sState.compare_exchange_strong(expected, Capturing)) {
            Endpoints& ends = Ends();
            ends.audio->DoCapture();
            const ZocVideoCaptureI::Status status = ends.video->DoCapture();
            if (status == ZocVideoCaptureI::NotOpen || status == ZocVideoCaptureI::CameraLost) {
                sState = Down;
                Disconnect(false);
            } else {
                if (status == ZocVideoCaptureI::FrameDelivered)
                    sVideoFrameAvailable = true;
                // Not a plain store: a Disconnect that gave up waiting has
                // already forced the state down.
                expected = Capturing;
                sState.compare_exchange_strong(expected, Up);
            }
        }
        if (sState.load() == Down) {
            // Nothing to capture: no polling until a connection comes up.
            std::unique_lock lock(sWakeMutex);
            sWake.wait(lock, [] { return sStop.load() || sState.load() != Down; });
        } else {
            SleepMs(GetCaptureSleepMs(ZocSettings::Instance().device.video.refreshRate));
        }
    }
}

void ZocToviDevice::WakeCaptureLoop() {
    // Taking the mutex orders the caller's store before the loop's check.
    { std::lock_guard lock(sWakeMutex); }
    sWake.notify_all();
}

ZocVersion ZocToviDevice::GetAvFirmwareVersion(const std::string& id) {
    if (id.size() < 10)
        return ZocVersion(char(0), char(0));
    return ZocVersion(id[8], id[9]);
}

bool ZocToviDevice::IsEdidSupported(const ZocVersion& avVersion) {
    return avVersion.major > 1 || (avVersion.major == 1 && avVersion.minor >= 7);
}

void ZocToviDevice::GetEdidResolution(int& width, int& height) {
    const auto& video = ZocSettings::Instance().device.video;
    if (video.syncTargetResolution) {
        width = video.frameWidth;
        height = video.frameHeight;
    } else if (video.enable4kInput) {
        width = 4096;
        height = 2160;
    } else {
        width = 0;
        height = 0;
    }
}

bool ZocToviDevice::Connect() {
    Endpoints& ends = Ends();
    if (!sInitialized || !ends.comm)
        return false;
    if (!sStop && ends.comm->IsOpened())
        return true;

    ZocToviDeviceInfo::ToviInfo selected;
    bool found = ZocToviDeviceInfo::GetSelectedTovi(
        nullptr, [&](const ZocToviDeviceInfo::ToviInfo& tovi) { selected = tovi; });
    if (!found) {
        if (ZocToviDeviceInfo::GetToviInfoList()->size() > 1)
            ZocUi::ModalDialog::CreateTextBox(
                "Connect Tovi", "Multiple Tovis are plugged in, please choose one from Settings dialog");
        else
            ZocUi::ModalDialog::CreateTextBox("Connect to Tovi", "No Tovi is plugged in");
        return false;
    }

    ZocVersion::AvFirmwareVersion = GetAvFirmwareVersion(selected.id);
    if (!IsEdidSupported(ZocVersion::AvFirmwareVersion)) {
        ZocLog::Video().Info("Ignore EDID setting due to un-supported A/V firmware");
    } else {
        int width = 0, height = 0;
        GetEdidResolution(width, height);
        ZocToviHidPort::SetVideoEdid(selected.id, width, height); // a failure does not stop the connection
        SleepMs(10);
    }

    std::lock_guard lock(sMutex);
    ZocToviDeviceInfo::LockCommPortToOpen();
    ZocCaptureResponse response = ends.comm->Open(selected.commPort);
    ZocToviDeviceInfo::UnLockCommPort();

    if (response.success && !ZocSettings::Instance().device.audio.mute) {
        ZocCaptureResponse audio = ends.audio->Open(selected.id);
        if (!audio.success) {
            ZocLog::Audio().Warn("Audio capture device was not opened, reason: %s", audio.message.c_str());
            ImGui::InsertNotification(ImGuiToast(ImGuiToastType_Warning, 4000, "%s", audio.message.c_str()));
        }
    }
    if (response.success)
        response = ends.video->Open(selected.id);

    if (response.success) {
        sConnected = selected;
        ZoMsg::Body::ToviConfig& config = ZocSettings::Instance().toviConfig;
        config.logLevel = static_cast<uint16_t>(ZocLog::ToviDevice().GetLevel());
        ZocToviMsg::PushPacket(ZoMsg::Type::ToviConfig, config);
        if (hooks.setupAtxPins)
            hooks.setupAtxPins();
        if (hooks.setVirtualCommPort)
            hooks.setVirtualCommPort(config.features.vCommMode != ZoConfig::VPortMode::Disabled);
        ZocAutoConnect::OnConnected(selected.id);
        sState = Up;
        WakeCaptureLoop();
        ZocGlobals::UpdateDisplayInfo();
        return true;
    }

    CloseAllLocked(false);
    ZocUi::ModalDialog::CreateTextBox(response.title, response.message);
    return false;
}

void ZocToviDevice::CloseAllLocked(bool deviceLost) {
    Endpoints& ends = Ends();
    if (ends.audio)
        ends.audio->Close();
    if (ends.video)
        ends.video->Close(deviceLost);
    SleepMs(10);
    if (ends.comm)
        ends.comm->Close();
}

void ZocToviDevice::Disconnect(bool unplugged) {
    ZocLog::Application().Info("To disconnect Tovi");

    uint32_t expected = Up;
    for (int i = 0; i < 100 && !sState.compare_exchange_strong(expected, Down); ++i) {
        if (expected == Down)
            break;
        expected = Up;
        SleepMs(2);
    }
    sState = Down;

    ZocToviMsg::PushPacket(ZoMsg::Type::Disconnect);
    ZocToviMsg::PushPacket(ZoMsg::Type::Disconnect);

    if (hooks.unmountVirtualDisk)
        hooks.unmountVirtualDisk();
    if (ZocGlobals::hidCaptureActive && hooks.stopHidCapture)
        hooks.stopHidCapture();

    std::lock_guard lock(sMutex);
    const bool wasConnected = !sConnected.id.empty();
    bool lost = unplugged;
    if (!lost && wasConnected)
        lost = !ZocToviDeviceInfo::IsCommExist(sConnected.commPort);
    if (wasConnected)
        ZocAutoConnect::OnDisconnected(sConnected.id, lost);
    sConnected = {};
    CloseAllLocked(lost);
    ResetGlobals();
}

void ZocToviDevice::ResetGlobals() {
    ZocGlobals::toviState = {};
    ZocGlobals::toviInfo = {};
    ZocGlobals::toviConnected = false;
    ZocGlobals::atxPowerOn = false;
    ZocGlobals::atxHddLedOn = false;
    ZocVersion::FirmwareVersion = ZocVersion(0, 0);
    ZocGlobals::longInfoWait = false;
    ZocGlobals::titleDirty = true;
}

bool ZocToviDevice::RunPendingDisconnect() {
    if (!sDisconnectRequested.exchange(false))
        return false;
    if (IsAnyConnected())
        Disconnect(false);
    return true;
}

bool ZocToviDevice::IsConnected() {
    if (sStop)
        return false;
    ZocCommPortI* comm = Ends().comm.get();
    return comm && comm->IsOpened();
}

bool ZocToviDevice::IsAnyConnected() {
    Endpoints& ends = Ends();
    return (ends.comm && ends.comm->IsOpened()) || (ends.audio && ends.audio->IsOpened()) ||
           (ends.video && ends.video->IsOpened());
}

ZocToviDeviceInfo::ToviInfo ZocToviDevice::GetConnectedTovi() {
    std::lock_guard lock(sMutex);
    return sConnected;
}

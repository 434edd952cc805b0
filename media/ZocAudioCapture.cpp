#include "media/ZocAudioCapture.h"

#include "app/ZocLog.h"
#include "media/ZocMicrophone.h"
#include "platform/linux/ZomAudio.h"

#include <atomic>

namespace {
std::atomic<int> sConsumerIds{0};
constexpr const char* kTitle = "Open Audio Capture";
} // namespace

std::unique_ptr<ZocAudioCaptureI> ZocAudioCaptureI::CreateInstance() {
    return std::make_unique<ZocAudioCapture>();
}

ZocAudioCapture::~ZocAudioCapture() {
    Close();
}

ZocCaptureResponse ZocAudioCapture::Open(const std::string& idString) {
    if (idString.empty())
        return ZocCaptureResponse::Fail(kTitle, "The audio input device may be disabled");
    std::string device = ZocMicrophone::GetDeviceIdByIdString(idString);
    if (device.empty())
        return ZocCaptureResponse::Fail(kTitle, "No audio input device was found for " + idString);

    std::lock_guard lock(mMutex);
    mInput.reset();
    mOutput.Close();
    std::string error;
    mInput = ZomAudio::OpenInput(device, error);
    if (!mInput)
        return ZocCaptureResponse::Fail(kTitle, "Couldn't create audio capture stream.\nError: " + error);
    ZocLog::Audio().Info("Audio input device was opened. Spec: %X, %d, %d", unsigned(ZomAudio::kFormatS16),
                         ZomAudio::kChannels, ZomAudio::kFrequency);
    if (!mOutput.Open(error))
        return ZocCaptureResponse::Fail(kTitle, "Couldn't create audio playback stream.\nError: " + error);
    ZocLog::Audio().Info("Audio playback device was opened. Spec: %X, %d, %d", unsigned(ZomAudio::kFormatS16),
                         ZomAudio::kChannels, ZomAudio::kFrequency);
    return ZocCaptureResponse::Ok();
}

void ZocAudioCapture::Close() {
    std::lock_guard lock(mMutex);
    mInput.reset();
    mOutput.Close();
}

bool ZocAudioCapture::IsOpened() {
    std::lock_guard lock(mMutex);
    return mInput != nullptr;
}

uint16_t ZocAudioCapture::GetSpec(int& channels, int& frequency) {
    std::lock_guard lock(mMutex);
    channels = ZomAudio::kChannels;
    frequency = ZomAudio::kFrequency;
    return mInput ? ZomAudio::kFormatS16 : 0;
}

int ZocAudioCapture::RegisterConsumer(ConsumerCallback callback, void* userData) {
    std::lock_guard lock(mMutex);
    int id = ++sConsumerIds;
    mConsumers[id] = {callback, userData};
    return id;
}

void ZocAudioCapture::UnRegisterConsumer(int id) {
    std::lock_guard lock(mMutex);
    mConsumers.erase(id);
}

void ZocAudioCapture::DoCapture() {
    std::lock_guard lock(mMutex);
    if (!mInput)
        return;
    while (mInput->Available() > 0) {
        long got = mInput->Read(mBuffer, kBufferSize);
        if (got == 0)
            break;
        if (got < 0) {
            ZocLog::Audio().Error("Failed to get stream data, error %s", mInput->LastError());
            break;
        }
        std::string error;
        if (!mOutput.Put(mBuffer, size_t(got), error))
            ZocLog::Audio().Error("Failed to put stream data, error %s", error.c_str());
        for (auto& [id, consumer] : mConsumers)
            if (consumer.callback)
                consumer.callback(consumer.userData, mBuffer, size_t(got));
    }
}

#pragma once
#include "media/ZocAudioCaptureI.h"
#include "platform/linux/ZomAudioInputI.h"
#include "platform/linux/ZomAudioPlayback.h"

#include <map>
#include <mutex>

class ZocAudioCapture : public ZocAudioCaptureI {
public:
    static constexpr size_t kBufferSize = 8192;

    ~ZocAudioCapture() override;
    ZocCaptureResponse Open(const std::string& idString) override;
    void Close() override;
    bool IsOpened() override;
    uint16_t GetSpec(int& channels, int& frequency) override;
    int RegisterConsumer(ConsumerCallback callback, void* userData) override;
    void UnRegisterConsumer(int id) override;
    void DoCapture() override;

private:
    struct Consumer {
        ConsumerCallback callback;
        void* userData;
    };
    std::mutex mMutex;
    std::map<int, Consumer> mConsumers;
    std::unique_ptr<ZomAudioInputI> mInput;
    ZomAudioPlayback mOutput;
    uint8_t mBuffer[kBufferSize];
};

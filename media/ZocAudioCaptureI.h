#pragma once
#include "device/transport/ZocCaptureResponse.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The Tovi's audio input, copied to the default playback device and handed to
// registered consumers. Pumped by the session's capture loop.
class ZocAudioCaptureI {
public:
    // (userData, interleaved S16 stereo bytes, byte count); valid during the call only.
    using ConsumerCallback = void (*)(void* userData, const uint8_t* data, size_t size);

    static std::unique_ptr<ZocAudioCaptureI> CreateInstance();

    virtual ~ZocAudioCaptureI() = default;
    virtual ZocCaptureResponse Open(const std::string& idString) = 0;
    virtual void Close() = 0;
    virtual bool IsOpened() = 0;
    virtual uint16_t GetSpec(int& channels, int& frequency) = 0;
    virtual int RegisterConsumer(ConsumerCallback callback, void* userData) = 0;
    virtual void UnRegisterConsumer(int id) = 0;
    virtual void DoCapture() = 0;
};

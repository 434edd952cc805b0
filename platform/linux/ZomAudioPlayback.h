#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The default playback device, fed by queueing (signed 16-bit stereo, 48 kHz).
class ZomAudioPlayback {
public:
    ZomAudioPlayback() = default;
    ~ZomAudioPlayback();
    ZomAudioPlayback(const ZomAudioPlayback&) = delete;
    ZomAudioPlayback& operator=(const ZomAudioPlayback&) = delete;

    bool Open(std::string& error);
    void Close();
    bool IsOpen() const { return mDevice != 0; }
    // Queues the bytes; false (with the reason in `error`) on failure.
    bool Put(const uint8_t* data, size_t size, std::string& error);

private:
    uint32_t mDevice = 0;
};

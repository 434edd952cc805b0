#pragma once
#include <cstddef>
#include <cstdint>

// An open audio input delivering interleaved signed 16-bit stereo at 48 kHz.
class ZomAudioInputI {
public:
    virtual ~ZomAudioInputI() = default;
    // Bytes ready to read now.
    virtual size_t Available() = 0;
    // Reads up to `size` bytes without waiting; -1 on failure.
    virtual long Read(uint8_t* data, size_t size) = 0;
    virtual const char* LastError() const = 0;
};

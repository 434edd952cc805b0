#pragma once
#include "platform/linux/ZomAudioBackendI.h"

#include <memory>
#include <string>
#include <vector>

// The audio layer: recording inputs of every backend by name, and playback
// on the default output through SDL.
class ZomAudio {
public:
    static constexpr int kFrequency = 48000;
    static constexpr int kChannels = 2;
    static constexpr uint16_t kFormatS16 = 0x8010; // signed 16-bit little-endian

    static std::vector<std::string> GetInputNames();
    static std::unique_ptr<ZomAudioInputI> OpenInput(const std::string& name, std::string& error);
    static void AddBackend(std::shared_ptr<ZomAudioBackendI> backend);
    static void RemoveBackend(const std::shared_ptr<ZomAudioBackendI>& backend);
};

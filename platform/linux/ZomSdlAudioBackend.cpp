#include "platform/linux/ZomSdlAudioBackend.h"

#include "platform/linux/ZomAudio.h"

#include <SDL.h>

namespace {
class SdlAudioInput : public ZomAudioInputI {
public:
    explicit SdlAudioInput(SDL_AudioDeviceID device) : mDevice(device) { SDL_PauseAudioDevice(mDevice, 0); }
    ~SdlAudioInput() override { SDL_CloseAudioDevice(mDevice); }
    size_t Available() override { return SDL_GetQueuedAudioSize(mDevice); }
    long Read(uint8_t* data, size_t size) override {
        return long(SDL_DequeueAudio(mDevice, data, Uint32(size)));
    }
    const char* LastError() const override { return SDL_GetError(); }

private:
    SDL_AudioDeviceID mDevice;
};

SDL_AudioSpec FixedSpec() {
    SDL_AudioSpec spec{};
    spec.freq = ZomAudio::kFrequency;
    spec.format = AUDIO_S16LSB;
    spec.channels = ZomAudio::kChannels;
    spec.samples = 1024;
    return spec;
}
} // namespace

void ZomSdlAudioBackend::List(std::vector<std::string>& names) {
    if (!SDL_WasInit(SDL_INIT_AUDIO))
        return;
    int count = SDL_GetNumAudioDevices(1);
    for (int i = 0; i < count; ++i)
        if (const char* name = SDL_GetAudioDeviceName(i, 1))
            names.emplace_back(name);
}

bool ZomSdlAudioBackend::Has(const std::string& name) {
    std::vector<std::string> names;
    List(names);
    for (const auto& n : names)
        if (n == name)
            return true;
    return false;
}

std::unique_ptr<ZomAudioInputI> ZomSdlAudioBackend::Open(const std::string& name, std::string& error) {
    SDL_AudioSpec wanted = FixedSpec(), obtained{};
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(name.c_str(), 1, &wanted, &obtained, 0);
    if (device == 0) {
        error = SDL_GetError();
        return nullptr;
    }
    return std::make_unique<SdlAudioInput>(device);
}

#include "platform/linux/ZomAudioPlayback.h"

#include "platform/linux/ZomAudio.h"

#include <SDL.h>

ZomAudioPlayback::~ZomAudioPlayback() {
    Close();
}

bool ZomAudioPlayback::Open(std::string& error) {
    Close();
    SDL_AudioSpec wanted{}, obtained{};
    wanted.freq = ZomAudio::kFrequency;
    wanted.format = AUDIO_S16LSB;
    wanted.channels = ZomAudio::kChannels;
    wanted.samples = 1024;
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0) {
        error = SDL_GetError();
        return false;
    }
    mDevice = device;
    SDL_PauseAudioDevice(device, 0);
    return true;
}

void ZomAudioPlayback::Close() {
    if (mDevice) {
        SDL_CloseAudioDevice(mDevice);
        mDevice = 0;
    }
}

bool ZomAudioPlayback::Put(const uint8_t* data, size_t size, std::string& error) {
    if (!mDevice) {
        error = "no playback device";
        return false;
    }
    // Keep at most half a second queued: a stalled output must not grow
    // memory without bound or delay the sound further and further.
    constexpr Uint32 kMaxQueued = ZomAudio::kFrequency * ZomAudio::kChannels * 2 / 2;
    if (SDL_GetQueuedAudioSize(mDevice) > kMaxQueued)
        SDL_ClearQueuedAudio(mDevice);
    if (SDL_QueueAudio(mDevice, data, Uint32(size)) != 0) {
        error = SDL_GetError();
        return false;
    }
    return true;
}

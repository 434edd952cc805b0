#include "sim/ZotSimAudio.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>

bool ZotSimAudio::Start(const std::string& shmName, int toneHz, bool tone, std::string& error) {
    Stop();
    ZotSimMediaWriter::Params p;
    p.kind = ZotSimMedia::Kind::Audio;
    p.slotCount = kSlots;
    p.payloadCapacity = kFramesPerBlock * kChannels * 2;
    p.sampleRate = kRate;
    p.channels = kChannels;
    p.bitsPerSample = 16;
    p.framesPerBlock = kFramesPerBlock;
    if (!mWriter.Create(shmName, p, error))
        return false;
    mToneHz = toneHz;
    mTone.store(tone);
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mStop = false;
    }
    mThread = std::thread([this] { Run(); });
    return true;
}

void ZotSimAudio::Stop() {
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mStop = true;
    }
    mWake.notify_all();
    if (mThread.joinable())
        mThread.join();
    mWriter.Destroy();
}

void ZotSimAudio::Run() {
    using Clock = std::chrono::steady_clock;
    auto next = Clock::now();
    const double step = 2.0 * M_PI * mToneHz / kRate;
    double phase = 0.0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mMutex);
            if (mWake.wait_until(lock, next, [this] { return mStop; }))
                break;
        }
        auto* samples = reinterpret_cast<int16_t*>(mWriter.BeginSlot());
        const bool tone = mTone.load();
        for (int i = 0; i < kFramesPerBlock; ++i) {
            const int16_t s = tone ? int16_t(std::lround(8000.0 * std::sin(phase))) : 0;
            samples[2 * i] = s;
            samples[2 * i + 1] = s;
            phase += step;
        }
        phase = std::fmod(phase, 2.0 * M_PI);
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        mWriter.Publish(uint64_t(ts.tv_sec) * 1000000000ULL + uint64_t(ts.tv_nsec),
                        kFramesPerBlock * kChannels * 2);
        mBlocks.fetch_add(1);
        next += std::chrono::milliseconds(10);
        const auto now = Clock::now();
        if (now - next > std::chrono::seconds(1))
            next = now;
    }
}

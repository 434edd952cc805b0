#pragma once
#include "sim/ZotSimMediaWriter.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

// The simulated Tovi's audio input: 48 kHz stereo signed 16-bit samples in
// blocks of 10 ms (480 frames) published into the shared-memory ring on a
// steady clock; a continuous sine tone, or silence.
class ZotSimAudio {
public:
    static constexpr int kRate = 48000, kChannels = 2, kFramesPerBlock = 480, kSlots = 64;

    ~ZotSimAudio() { Stop(); }
    bool Start(const std::string& shmName, int toneHz, bool tone, std::string& error);
    void Stop();
    bool IsRunning() const { return mThread.joinable(); }
    void SetTone(bool on) { mTone.store(on); }
    bool IsTone() const { return mTone.load(); }
    uint64_t GetBlockCount() const { return mBlocks.load(); }

private:
    void Run();

    ZotSimMediaWriter mWriter;
    std::thread mThread;
    std::mutex mMutex;
    std::condition_variable mWake;
    bool mStop = false;
    int mToneHz = 440;
    std::atomic<bool> mTone{true};
    std::atomic<uint64_t> mBlocks{0};
};

#include "platform/linux/ZomSimAudioBackend.h"

#include "platform/linux/ZomAudio.h"
#include "platform/linux/ZomSimDeviceRegistry.h"
#include "sim/ZotSimMediaReader.h"

#include <algorithm>
#include <deque>

namespace {
// Blocks are read in order into a bounded queue; a reader that falls a whole
// ring behind skips what it missed rather than playing stale sound.
class SimAudioInput : public ZomAudioInputI {
public:
    static constexpr size_t kMaxQueued = ZomAudio::kFrequency * ZomAudio::kChannels * 2; // one second

    bool Open(const std::string& shm, std::string& error) {
        if (!mReader.Open(shm, ZotSimMedia::Kind::Audio, error))
            return false;
        const auto* header = mReader.GetHeader();
        if (header->sampleRate != uint32_t(ZomAudio::kFrequency) ||
            header->channels != uint32_t(ZomAudio::kChannels) || header->bitsPerSample != 16) {
            error = "unsupported audio format";
            return false;
        }
        return true;
    }
    size_t Available() override {
        for (int blocks = 0; blocks < 64; ++blocks) {
            auto result = mReader.Read([&](const ZotSimMediaReader::View& view) {
                mPending.insert(mPending.end(), view.data, view.data + view.size);
            });
            if (result == ZotSimMediaReader::Result::Torn) {
                mPending.clear(); // part of a block may have been copied
                continue;
            }
            if (result != ZotSimMediaReader::Result::Frame) {
                mStopped = result == ZotSimMediaReader::Result::Stopped;
                break;
            }
        }
        if (mPending.size() > kMaxQueued)
            mPending.erase(mPending.begin(), mPending.begin() + long(mPending.size() - kMaxQueued));
        return mPending.size();
    }
    long Read(uint8_t* data, size_t size) override {
        size_t n = std::min(size, mPending.size()) & ~size_t(3); // whole stereo frames
        std::copy(mPending.begin(), mPending.begin() + long(n), data);
        mPending.erase(mPending.begin(), mPending.begin() + long(n));
        return long(n);
    }
    const char* LastError() const override { return mStopped ? "the simulated Tovi stopped" : ""; }

private:
    ZotSimMediaReader mReader;
    std::deque<uint8_t> mPending;
    bool mStopped = false;
};
} // namespace

void ZomSimAudioBackend::List(std::vector<std::string>& names) {
    for (const auto& entry : ZomSimDeviceRegistry::List())
        if (!entry.audioName.empty() && !entry.audioShm.empty())
            names.push_back(entry.audioName);
}

bool ZomSimAudioBackend::Has(const std::string& name) {
    for (const auto& entry : ZomSimDeviceRegistry::List())
        if (entry.audioName == name && !entry.audioShm.empty())
            return true;
    return false;
}

std::unique_ptr<ZomAudioInputI> ZomSimAudioBackend::Open(const std::string& name, std::string& error) {
    for (const auto& entry : ZomSimDeviceRegistry::List()) {
        if (entry.audioName != name || entry.audioShm.empty())
            continue;
        auto input = std::make_unique<SimAudioInput>();
        if (!input->Open(entry.audioShm, error))
            return nullptr;
        return input;
    }
    error = "No such audio input: " + name;
    return nullptr;
}

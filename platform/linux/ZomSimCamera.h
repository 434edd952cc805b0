#pragma once
#include "platform/linux/ZomCameraDeviceI.h"
#include "sim/ZotSimMediaReader.h"

#include <memory>
#include <string>
#include <vector>

// One open simulated camera. Each acquired frame is the newest one published,
// copied out of the shared ring (the producer never waits for readers, so a
// slot may be rewritten at any time; a frame torn while copying is dropped).
class ZomSimCamera : public ZomCameraDeviceI {
public:
    static std::unique_ptr<ZomSimCamera> Open(const std::string& shmName, const ZomCameraSpec& requested,
                                              std::string& error);

    ZomCameraSpec GetSpec() const override { return mSpec; }
    Acquire AcquireFrame(ZomCameraFrame& frame) override;
    void ReleaseFrame(ZomCameraFrame& frame) override;
    bool IsLost() const override { return mLost; }

private:
    ZomSimCamera() = default;
    bool ProducerGone();

    ZotSimMediaReader mReader;
    ZomCameraSpec mSpec;
    std::vector<uint8_t> mFrame;
    bool mLost = false;
    uint64_t mSequence = 0;
    uint32_t mIdlePolls = 0;
};

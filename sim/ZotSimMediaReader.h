#pragma once
#include "sim/ZotSimMediaLayout.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// The reading side of one shared-memory media stream written by tovi-sim
// (layout in ZotSimMediaLayout.h). The application's Linux camera and audio
// layer uses it as well as the tests. Not thread-safe: one reader thread.
//
// Security: the object belongs to another process; every size and offset in
// it is checked against the mapping before use, and a frame is reported only
// when its slot was not rewritten while the consumer looked at it.
class ZotSimMediaReader {
public:
    enum class Result {
        Frame,   // the consumer saw one complete frame or block
        NoFrame, // nothing new yet
        Torn,    // the producer overwrote the slot while the consumer used it; drop the copy
        Stopped, // the producer stopped (quit or unplugged); reopen when it comes back
        Error,   // not open, or the header is malformed
    };

    // One frame or block as the consumer sees it, valid only during the call.
    struct View {
        uint64_t seq = 0;
        uint64_t timestampNs = 0;
        const uint8_t* data = nullptr;
        uint32_t size = 0;
        uint32_t width = 0, height = 0, pitch = 0, fps = 0, fourcc = 0;
    };

    ZotSimMediaReader() = default;
    ~ZotSimMediaReader();
    ZotSimMediaReader(const ZotSimMediaReader&) = delete;
    ZotSimMediaReader& operator=(const ZotSimMediaReader&) = delete;

    // Maps the object `name` and checks its header against `kind`.
    bool Open(const std::string& name, ZotSimMedia::Kind kind, std::string& error);
    void Close();
    bool IsOpen() const { return mBase != nullptr; }
    const ZotSimMedia::Header* GetHeader() const {
        return reinterpret_cast<const ZotSimMedia::Header*>(mBase);
    }

    // Hands the consumer the frame after the last one read (the newest one on
    // the first call, or always when `newestOnly`). Frames that were
    // overwritten before they could be read are counted in GetMissed().
    Result Read(const std::function<void(const View&)>& consume, bool newestOnly = false);

    uint64_t GetLastSeq() const { return mLastSeq; }
    uint64_t GetMissed() const { return mMissed; }

    // Video: asks the producer for another frame size and rate. Returns the
    // request's serial number (nonzero); RequestState tells the outcome.
    uint16_t RequestFormat(uint16_t width, uint16_t height, uint16_t fps);
    // 0 while pending (or unknown serial), else a ZotSimMedia::RequestResult value.
    uint32_t RequestState(uint16_t serial) const;

private:
    uint8_t* mBase = nullptr;
    size_t mSize = 0;
    uint32_t mSlotCount = 0;
    uint32_t mStride = 0;
    uint64_t mSlotsOffset = 0;
    uint64_t mLastSeq = 0;
    uint64_t mMissed = 0;
    uint16_t mRequestSerial = 0;
};

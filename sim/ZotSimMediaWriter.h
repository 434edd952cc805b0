#pragma once
#include "sim/ZotSimMediaLayout.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The producer side of one shared-memory media stream (layout in
// ZotSimMediaLayout.h). One thread publishes; any thread may read the header.
class ZotSimMediaWriter {
public:
    struct Params {
        ZotSimMedia::Kind kind = ZotSimMedia::Kind::Video;
        uint32_t slotCount = 8;
        uint32_t payloadCapacity = 0; // bytes per slot
        uint32_t maxWidth = 0, maxHeight = 0;
        uint32_t sampleRate = 0, channels = 0, bitsPerSample = 0, framesPerBlock = 0;
    };

    ZotSimMediaWriter() = default;
    ~ZotSimMediaWriter();
    ZotSimMediaWriter(const ZotSimMediaWriter&) = delete;
    ZotSimMediaWriter& operator=(const ZotSimMediaWriter&) = delete;

    // Creates the object `name` (a leading '/' and no other), replacing a stale
    // one of the same name. False with `error` set on failure.
    bool Create(const std::string& name, const Params& params, std::string& error);
    // Marks the stream stopped, unmaps and removes the name. Safe to call twice.
    void Destroy();
    bool IsCreated() const { return mBase != nullptr; }
    const std::string& GetName() const { return mName; }

    // Payload of the slot that the next Publish fills; the slot is marked as
    // being written. Capacity is Params::payloadCapacity.
    uint8_t* BeginSlot();
    // Completes the slot of the last BeginSlot and returns its sequence number.
    uint64_t Publish(uint64_t timestampNs, uint32_t size, uint32_t width = 0, uint32_t height = 0,
                     uint32_t pitch = 0, uint32_t fps = 0);
    // Index of the slot BeginSlot hands out next.
    uint32_t NextSlotIndex() const;
    uint32_t GetSlotCount() const { return mSlotCount; }

    ZotSimMedia::Header* GetHeader() { return reinterpret_cast<ZotSimMedia::Header*>(mBase); }

private:
    ZotSimMedia::SlotHeader* Slot(uint32_t index);

    std::string mName;
    uint8_t* mBase = nullptr;
    size_t mSize = 0;
    uint32_t mSlotCount = 0;
    uint32_t mStride = 0;
    uint64_t mNextSeq = 1;
};

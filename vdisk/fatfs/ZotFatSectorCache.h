#pragma once
#include <cstdint>

struct FatMedia;

// A small write-back cache of 512-byte sectors between the FAT engine and its
// block device. Sectors of the first FAT are written to every FAT copy when
// flushed. A pointer returned by Get/GetForWrite stays valid only until the
// next call on the cache.
class ZotFatSectorCache {
public:
    static constexpr int kSlots = 16;
    static constexpr uint32_t kSectorSize = 512;

    void Reset(const FatMedia* media);
    // FAT mirror: sectors [fatBase, fatBase + fatSize) are also written at
    // + k * fatSize for k = 1 .. fatCount - 1.
    void SetFatMirror(uint32_t fatBase, uint32_t fatSize, uint8_t fatCount);

    // The sector's bytes, read from the device when not cached; null on a
    // device error.
    const uint8_t* Get(uint32_t sector);
    // As Get, and marks the sector dirty. With `noRead` the sector's old
    // content is not read (the caller overwrites all of it); it reads as zeros.
    uint8_t* GetForWrite(uint32_t sector, bool noRead = false);

    // Writes every dirty sector; false on a device error.
    bool Flush();
    // Before reading [first, first+count) from the device directly: writes
    // the dirty cached sectors of that range. False on a device error.
    bool FlushRange(uint32_t first, uint32_t count);
    // After writing [first, first+count) to the device directly: drops the
    // cached copies of that range.
    void Discard(uint32_t first, uint32_t count);
    // Writes zeros to [first, first+count) directly and drops cached copies.
    bool WriteZeros(uint32_t first, uint32_t count);
    const FatMedia* Media() const { return mMedia; }

private:
    struct Slot {
        uint32_t sector = 0;
        uint32_t stamp = 0;
        bool valid = false;
        bool dirty = false;
        uint8_t data[kSectorSize];
    };

    Slot* Lookup(uint32_t sector, bool noRead);
    bool WriteBack(Slot& slot);

    const FatMedia* mMedia = nullptr;
    uint32_t mFatBase = 0;
    uint32_t mFatSize = 0;
    uint8_t mFatCount = 1;
    uint32_t mClock = 0;
    Slot mSlots[kSlots];
};

#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

// Fixed-size byte ring, the storage of the send and receive buffers. It has
// no lock of its own: every *UnSafe operation expects the owner's mutex held.
class ZoRingBuffer {
public:
    static constexpr size_t kDefaultCapacity = 40960;

    explicit ZoRingBuffer(const char* name, size_t capacity = kDefaultCapacity);
    ZoRingBuffer(const ZoRingBuffer&) = delete;
    ZoRingBuffer& operator=(const ZoRingBuffer&) = delete;

    const char* GetName() const { return mName; }
    size_t GetCapacity() const { return mCapacity; }

    size_t UsedUnSafe() const { return mUsed; }
    size_t FreeUnSafe() const { return mCapacity - mUsed; }

    // Appends all `length` bytes, or nothing (with a Debug overrun line) when
    // fewer bytes are free.
    bool PushUnSafe(const void* data, size_t length);
    // Takes up to `length` bytes out; returns how many were taken.
    size_t PopUnSafe(void* out, size_t length);
    // Copies `length` stored bytes starting `offset` bytes after the read
    // position without taking them; false when not that many are stored.
    bool PeekUnSafe(size_t offset, void* out, size_t length) const;
    uint8_t PeekByteUnSafe(size_t offset) const { return mData[Wrap(mReadPos + offset)]; }
    // Drops `length` stored bytes (at most what is stored).
    void SkipUnSafe(size_t length);
    // Puts back the last `length` bytes taken (they are still in the storage
    // as long as nothing was written since they were taken).
    void UnPopUnSafe(size_t length);
    void ClearUnSafe();

private:
    size_t Wrap(size_t index) const { return index >= mCapacity ? index - mCapacity : index; }

    const char* mName;
    size_t mCapacity;
    std::unique_ptr<uint8_t[]> mData;
    size_t mUsed = 0;
    size_t mWritePos = 0;
    size_t mReadPos = 0;
};

#include "device/protocol/ZoRingBuffer.h"

#include "app/ZocLog.h"

#include <algorithm>
#include <cstring>

ZoRingBuffer::ZoRingBuffer(const char* name, size_t capacity)
    : mName(name), mCapacity(capacity), mData(new uint8_t[capacity]) {}

bool ZoRingBuffer::PushUnSafe(const void* data, size_t length) {
    if (length > FreeUnSafe()) {
        ZocLog::CommPort().Debug("Buffer.Push/%s: buffer overrun, requested %zu, available %zu, capacity %zu",
                                 mName, length, FreeUnSafe(), mCapacity);
        return false;
    }
    if (length == 0) {
        return true;
    }
    const auto* src = static_cast<const uint8_t*>(data);
    const size_t first = std::min(length, mCapacity - mWritePos);
    std::memcpy(mData.get() + mWritePos, src, first);
    std::memcpy(mData.get(), src + first, length - first);
    mWritePos = Wrap(mWritePos + length);
    mUsed += length;
    return true;
}

size_t ZoRingBuffer::PopUnSafe(void* out, size_t length) {
    length = std::min(length, mUsed);
    PeekUnSafe(0, out, length);
    SkipUnSafe(length);
    return length;
}

bool ZoRingBuffer::PeekUnSafe(size_t offset, void* out, size_t length) const {
    if (offset > mUsed || length > mUsed - offset) {
        return false;
    }
    if (length == 0) {
        return true;
    }
    auto* dst = static_cast<uint8_t*>(out);
    const size_t start = Wrap(mReadPos + offset);
    const size_t first = std::min(length, mCapacity - start);
    std::memcpy(dst, mData.get() + start, first);
    std::memcpy(dst + first, mData.get(), length - first);
    return true;
}

void ZoRingBuffer::SkipUnSafe(size_t length) {
    length = std::min(length, mUsed);
    mReadPos = Wrap(mReadPos + length);
    mUsed -= length;
}

void ZoRingBuffer::UnPopUnSafe(size_t length) {
    length = std::min(length, FreeUnSafe());
    mReadPos = mReadPos >= length ? mReadPos - length : mReadPos + mCapacity - length;
    mUsed += length;
}

void ZoRingBuffer::ClearUnSafe() {
    mUsed = 0;
    mWritePos = 0;
    mReadPos = 0;
}

#pragma once
#include "app/ZocLog.h"
#include "device/protocol/ZoCrc.h"
#include "device/protocol/ZoMsg.h"
#include "device/protocol/ZoRingBuffer.h"

#include <algorithm>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <mutex>
#include <type_traits>

// A fixed-size value sent as (part of) a message body: a wire record, an
// integer or a byte array. Pointers are excluded so that a sequence-number
// pointer is never taken for a body.
template <typename T>
concept ZoWireRecord = std::is_trivially_copyable_v<T> && !std::is_pointer_v<T> && !std::is_null_pointer_v<T>;

// The send ring: turns a type and a body into a complete frame written
// straight into the ring, for the owner's output thread to drain.
//
// Owner must provide
//   bool PrePushPacket(ZoMsg::Type type, size_t bodySize); // may the push go ahead?
//   void PostPushPacket(bool ok);                          // told after each push
//
// Sequence numbers: a push without a sequence variable takes counter + 1. A
// sequence variable holding 0 gets counter + 1 written into it; a nonzero
// one is used unchanged (replies echo the request's number).
template <typename Owner> class ZoMsgOutBuffer : public ZoRingBuffer {
public:
    explicit ZoMsgOutBuffer(Owner& owner, size_t capacity = kDefaultCapacity)
        : ZoRingBuffer("MsgOut", capacity), mOwner(owner) {}

    // The one primitive. `bodyWriter(ZoRingBuffer&)` writes exactly bodySize
    // bytes into the ring and returns false when they did not fit. Room for
    // the whole frame is reserved first, so a full ring never holds half a frame.
    template <typename Writer>
    bool PushPacketIntoBuffer(ZoMsg::Type type, uint16_t* seq, uint8_t crc, size_t bodySize,
                              Writer&& bodyWriter) {
        const uint16_t typeValue = ZoMsg::ToU16(type);
        if (bodySize > UINT16_MAX) {
            // The head cannot describe it; the frame would be corrupt on the wire.
            ZocLog::CommPort().Error("Outbound msg is too large, type %hu, bodySize %zu", typeValue,
                                     bodySize);
            return false;
        }
        if (!mOwner.PrePushPacket(type, bodySize)) {
            return false;
        }
        bool result = false;
        {
            std::lock_guard<std::mutex> lock(mMutex);
            if (FreeUnSafe() < bodySize + ZoMsg::kFrameOverhead) {
                ZocLog::CommPort().Debug("Out buffer is full, discard message, type %hu, bodySize %zu",
                                         typeValue, bodySize);
            } else {
                ZoMsg::Head head;
                head.flags = type == ZoMsg::Type::ToviConfig ? 2 : 0;
                head.crc = crc;
                head.seq = NextSequenceUnSafe(seq);
                head.type = typeValue;
                head.size = static_cast<uint16_t>(bodySize);
                uint8_t lead[4 + sizeof(ZoMsg::Head)];
                std::copy(std::begin(ZoMsg::kPreambleBytes), std::end(ZoMsg::kPreambleBytes), lead);
                std::memcpy(lead + 4, &head, sizeof head);
                PushUnSafe(lead, sizeof lead);
                if (!bodyWriter(static_cast<ZoRingBuffer&>(*this))) {
                    ZocLog::CommPort().Debug(
                        "Part of the out message was not accepted, no enough space, type %hu, bodySize %zu",
                        typeValue, bodySize);
                } else {
                    result = PushUnSafe(ZoMsg::kPostambleBytes, sizeof ZoMsg::kPostambleBytes);
                }
            }
        }
        mOwner.PostPushPacket(result);
        return result;
    }

    // Empty body.
    bool PushPacket(ZoMsg::Type type, uint16_t* seq = nullptr) {
        return PushPacketIntoBuffer(type, seq, 0, 0, [](ZoRingBuffer&) { return true; });
    }

    // One fixed-size record as the body.
    template <typename R>
    requires ZoWireRecord<R>
    bool PushPacket(ZoMsg::Type type, uint16_t* seq, const R& record) {
        return PushPacketIntoBuffer(
            type, seq, ZoCrc::Crc8(&record, sizeof(R)), sizeof(R),
            [&record](ZoRingBuffer& ring) { return ring.PushUnSafe(&record, sizeof(R)); });
    }
    template <typename R>
    requires ZoWireRecord<R>
    bool PushPacket(ZoMsg::Type type, const R& record) { return PushPacket(type, nullptr, record); }

    // Two records back to back, checksummed together (MscDisk::Command +
    // MscDisk::Info; an i32 count + 256-byte array for VCommData).
    template <typename R1, typename R2>
    requires ZoWireRecord<R1> && ZoWireRecord<R2>
    bool PushPacket(ZoMsg::Type type, uint16_t* seq, const R1& record1, const R2& record2) {
        const uint8_t crc = ZoCrc::Crc8(&record2, sizeof(R2), ZoCrc::Crc8(&record1, sizeof(R1)));
        return PushPacketIntoBuffer(type, seq, crc, sizeof(R1) + sizeof(R2), [&](ZoRingBuffer& ring) {
            return ring.PushUnSafe(&record1, sizeof(R1)) && ring.PushUnSafe(&record2, sizeof(R2));
        });
    }

    // A raw byte buffer as the whole body.
    bool PushPacketWithBuffer(ZoMsg::Type type, uint16_t* seq, size_t length, const void* bytes) {
        if (bytes == nullptr) {
            length = 0;
        }
        return PushPacketIntoBuffer(type, seq, ZoCrc::Crc8(bytes, length), length,
                                    [&](ZoRingBuffer& ring) { return ring.PushUnSafe(bytes, length); });
    }

    // A record followed by a buffer; body size = sizeof(record) + length.
    template <typename R>
    requires ZoWireRecord<R>
    bool PushPacketWithBuffer(ZoMsg::Type type, uint16_t* seq, const R& record, size_t length,
                              const void* bytes) {
        if (bytes == nullptr) {
            length = 0;
        }
        const uint8_t crc = ZoCrc::Crc8(bytes, length, ZoCrc::Crc8(&record, sizeof(R)));
        return PushPacketIntoBuffer(type, seq, crc, sizeof(R) + length, [&](ZoRingBuffer& ring) {
            return ring.PushUnSafe(&record, sizeof(R)) && ring.PushUnSafe(bytes, length);
        });
    }

    // Takes up to `length` queued bytes out (the output thread's side).
    size_t TakeBytes(void* out, size_t length) {
        std::lock_guard<std::mutex> lock(mMutex);
        return PopUnSafe(out, length);
    }
    size_t GetUsed() {
        std::lock_guard<std::mutex> lock(mMutex);
        return UsedUnSafe();
    }
    // Drops everything queued.
    void Clear() {
        std::lock_guard<std::mutex> lock(mMutex);
        ClearUnSafe();
    }
    uint16_t GetSequenceCounter() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mSeq;
    }

protected:
    uint16_t NextSequenceUnSafe(uint16_t* seq) {
        if (seq != nullptr && *seq != 0) {
            return *seq;
        }
        ++mSeq;
        if (seq != nullptr) {
            *seq = mSeq;
        }
        return mSeq;
    }

    std::mutex mMutex; // guards the ring and the sequence counter
    uint16_t mSeq = 0;
    Owner& mOwner;
};

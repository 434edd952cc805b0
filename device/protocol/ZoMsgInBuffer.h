#pragma once
#include "device/protocol/ZoMsg.h"
#include "device/protocol/ZoRingBuffer.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

// The receive ring: raw serial bytes in, verified messages out.
//
// Security note: everything stored here comes from the serial line and is
// untrusted. The parser never trusts the head's size beyond kMaxBodySize,
// keeps every frame inside the fixed ring and drops damaged frames; a valid
// frame hidden behind or inside a damaged one is still found, because the
// preamble hunt resumes right after the damaged frame's preamble.
class ZoMsgInBuffer : public ZoRingBuffer {
public:
    enum class ParseState : uint8_t {
        SeekingPreamble = 0,
        ReadingHead = 1,
        ReadingBody = 2,
        ReadingPostamble = 3,
    };

    explicit ZoMsgInBuffer(size_t capacity = kDefaultCapacity);

    // Appends raw serial bytes; false (the whole chunk dropped, overrun
    // logged) when they do not fit.
    bool Push(const void* bytes, size_t length);

    // Takes out the next complete, verified message; the body array is
    // handed over (swapped), not copied. Damaged frames met on the way are
    // logged and dropped. False when more bytes are needed.
    bool PopMessage(ZoMsg::Head& head, std::vector<uint8_t>& body);

    // The preamble hunt; the caller holds the mutex. Consumes bytes up to and
    // including a preamble (true), appending the bytes it skips to `discarded`.
    // A partial preamble at the end of the stored bytes is kept for the next hunt.
    bool FindPreambleUnSafe(std::vector<uint8_t>& discarded);

    // Empties the ring and resets the parser and both counters.
    void Clear();

    uint32_t GetMessagesPopped() const { return mMessagesPopped.load(std::memory_order_relaxed); }
    uint32_t GetPreamblesFound() const { return mPreamblesFound.load(std::memory_order_relaxed); }
    ParseState GetParseState();

protected:
    std::mutex mMutex; // guards the ring and the parser

private:
    void LogDiscardedBody(const uint8_t* body, size_t size);

    ParseState mState = ParseState::SeekingPreamble;
    std::atomic<uint32_t> mMessagesPopped{0};
    std::atomic<uint32_t> mPreamblesFound{0};
    ZoMsg::Head mHead;
    std::vector<uint8_t> mBody;
    std::vector<uint8_t> mDiscarded;
};

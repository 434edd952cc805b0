#include "device/protocol/ZoMsgInBuffer.h"

#include "app/ZocLog.h"
#include "device/protocol/ZoCrc.h"
#include "device/protocol/ZoUtils.h"

#include <algorithm>

namespace {

constexpr size_t kDumpLimit = 20;
constexpr size_t kPreambleSize = sizeof ZoMsg::kPreambleBytes;
constexpr size_t kPostambleSize = sizeof ZoMsg::kPostambleBytes;

void LogDump(const char* prefix, const uint8_t* data, size_t size, size_t limit) {
    ZotLogger& log = ZocLog::CommPort();
    if (!log.IsEnabled(ZotLogger::Level::Debug)) {
        return;
    }
    const std::string hex = ZoUtils::BinaryToHexString(data, std::min(size, limit));
    log.Debug("%s%s%s", prefix, hex.c_str(), size > limit ? "..." : "");
}

} // namespace

ZoMsgInBuffer::ZoMsgInBuffer(size_t capacity) : ZoRingBuffer("MsgIn", capacity) {
    mBody.reserve(ZoMsg::kMaxBodySize);
}

bool ZoMsgInBuffer::Push(const void* bytes, size_t length) {
    std::lock_guard<std::mutex> lock(mMutex);
    return PushUnSafe(bytes, length);
}

void ZoMsgInBuffer::Clear() {
    std::lock_guard<std::mutex> lock(mMutex);
    ClearUnSafe();
    mState = ParseState::SeekingPreamble;
    mMessagesPopped = 0;
    mPreamblesFound = 0;
}

ZoMsgInBuffer::ParseState ZoMsgInBuffer::GetParseState() {
    std::lock_guard<std::mutex> lock(mMutex);
    return mState;
}

bool ZoMsgInBuffer::FindPreambleUnSafe(std::vector<uint8_t>& discarded) {
    const size_t stored = UsedUnSafe();
    size_t matched = 0;
    size_t index = 0;
    while (index < stored) {
        const uint8_t byte = PeekByteUnSafe(index++);
        if (byte == ZoMsg::kPreambleBytes[matched]) {
            if (++matched == kPreambleSize) {
                SkipUnSafe(index);
                return true;
            }
            continue;
        }
        // The bytes matched so far are dropped; the breaking byte itself may
        // start a preamble (3C 3C 5A A5 C3 ...). The preamble's bytes are all
        // different, so no longer prefix can survive the mismatch.
        discarded.insert(discarded.end(), ZoMsg::kPreambleBytes, ZoMsg::kPreambleBytes + matched);
        if (byte == ZoMsg::kPreambleBytes[0]) {
            matched = 1;
        } else {
            matched = 0;
            discarded.push_back(byte);
        }
    }
    // Keep a partial preamble for the next hunt.
    SkipUnSafe(stored - matched);
    return false;
}

void ZoMsgInBuffer::LogDiscardedBody(const uint8_t* body, size_t size) {
    if (size > 0) {
        LogDump("Msg.Body/discarded: ", body, size, kDumpLimit);
    }
}

// Only the preamble is consumed while a frame is being read: head, body and
// postamble stay in the ring (peeked) until the frame is verified. A damaged
// frame therefore costs just its preamble and the hunt resumes on the next
// byte, where a valid frame hidden in a corrupted size or body is found.
bool ZoMsgInBuffer::PopMessage(ZoMsg::Head& head, std::vector<uint8_t>& body) {
    std::lock_guard<std::mutex> lock(mMutex);
    for (;;) {
        switch (mState) {
        case ParseState::SeekingPreamble: {
            if (UsedUnSafe() < kPreambleSize) {
                return false;
            }
            mDiscarded.clear();
            const bool found = FindPreambleUnSafe(mDiscarded);
            if (!mDiscarded.empty()) {
                LogDump("Msg.Preamble/discarded: ", mDiscarded.data(), mDiscarded.size(), kDumpLimit);
            }
            if (!found) {
                return false;
            }
            mPreamblesFound.fetch_add(1, std::memory_order_relaxed);
            mState = ParseState::ReadingHead;
            break;
        }
        case ParseState::ReadingHead:
            if (!PeekUnSafe(0, &mHead, sizeof mHead)) {
                return false;
            }
            if (mHead.size > ZoMsg::kMaxBodySize) {
                ZocLog::CommPort().Debug("Msg.Body: size (%hu) error", mHead.size);
                LogDump("Msg.Body/discarded: ", reinterpret_cast<const uint8_t*>(&mHead), sizeof mHead,
                        sizeof mHead);
                mState = ParseState::SeekingPreamble;
                break;
            }
            mState = mHead.size == 0 ? ParseState::ReadingPostamble : ParseState::ReadingBody;
            break;
        case ParseState::ReadingBody:
            if (UsedUnSafe() < sizeof mHead + mHead.size) {
                return false;
            }
            mState = ParseState::ReadingPostamble;
            break;
        case ParseState::ReadingPostamble: {
            const size_t frameRest = sizeof mHead + mHead.size + kPostambleSize;
            if (UsedUnSafe() < frameRest) {
                return false;
            }
            mState = ParseState::SeekingPreamble;
            mBody.resize(mHead.size);
            PeekUnSafe(sizeof mHead, mBody.data(), mBody.size());
            uint32_t postamble = 0;
            PeekUnSafe(sizeof mHead + mHead.size, &postamble, sizeof postamble);
            if (postamble != ZoMsg::Postamble) {
                ZocLog::CommPort().Debug("Msg.Postamble: Wrong postamble [0x%08X] found, discard %zu bytes",
                                         postamble, mBody.size());
                LogDiscardedBody(mBody.data(), mBody.size());
                break;
            }
            if (mHead.crc != 0 && !mBody.empty()) {
                const uint8_t crc = ZoCrc::Crc8(mBody.data(), mBody.size());
                if (crc != mHead.crc) {
                    ZocLog::CommPort().Debug("Msg.Crc: Mismatched CRC for %hu, expected %hhX, actual %hhX",
                                             mHead.type, mHead.crc, crc);
                    LogDiscardedBody(mBody.data(), mBody.size());
                    break;
                }
            }
            SkipUnSafe(frameRest);
            head = mHead;
            body.swap(mBody);
            mMessagesPopped.fetch_add(1, std::memory_order_relaxed);
            return true;
        }
        }
    }
}

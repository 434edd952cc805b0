#pragma once
// Shared-memory layout of the simulated Tovi's camera and audio streams.
//
// Each stream is one POSIX shared-memory object (shm_open name given in the
// registry entry: "camera.shm" and "audio.shm"). The producer (tovi-sim) creates
// it; a reader maps it read-write (it writes only `request`) and must treat
// every field as untrusted: check magic, version, kind and that
// slotsOffset + slotCount * slotStride <= totalSize <= the object's size.
//
//   offset 0                      Header (kHeaderSize bytes)
//   offset slotsOffset + i*stride Slot i: SlotHeader (kSlotHeaderSize bytes), then the payload
//
// Publishing (one producer): frame n (n = 1, 2, ...) goes into slot (n-1) % slotCount.
// The producer stores 0 into the slot's `seq`, writes the payload and the slot
// fields, stores n into `seq` (release), then n into Header::lastSeq (release).
// Reading: load lastSeq (acquire), pick a sequence number m <= lastSeq that is
// still in the ring (m > lastSeq - slotCount + 1 leaves the slot the producer
// fills next alone), check the slot's seq == m (acquire), use the payload, then
// check seq == m again: a changed value means the producer overwrote the slot
// meanwhile and the copy must be dropped. ZotSimMediaReader does all of this.
//
// Video payload: one YUY2 frame (bytes Y0 Cb Y1 Cr, full-range BT.601), `height`
// lines of `pitch` bytes. Audio payload: interleaved signed 16-bit little-endian
// samples, `channels` per frame, `size` bytes. Timestamps are CLOCK_MONOTONIC
// nanoseconds of the moment the frame or block was complete.
//
// Format request (video): the reader stores a packed request (see PackRequest)
// with a new serial number into Header::request; the producer switches at its
// next frame (each slot carries its own width, height, pitch and rate) and
// echoes the serial with a result into Header::requestDone.

#include <atomic>
#include <cstdint>

namespace ZotSimMedia {

constexpr uint32_t kMagic = 0x4D53545AU; // "ZTSM"
constexpr uint32_t kVersion = 1;
constexpr uint32_t kHeaderSize = 256;
constexpr uint32_t kSlotHeaderSize = 64;
constexpr uint32_t kFourccYuy2 = 0x32595559U; // "YUY2"

enum class Kind : uint32_t { Video = 1, Audio = 2 };

// Header::state
enum class State : uint32_t {
    Starting = 0, // created, nothing published yet
    Running = 1,  // frames or blocks are published
    Stopped = 2,  // the producer stopped (quit or unplug); nothing more will come
};

// Header::requestDone result field
enum class RequestResult : uint32_t { Applied = 1, Unsupported = 2 };

struct Header {
    uint32_t magic;       // kMagic
    uint32_t version;     // kVersion
    uint32_t kind;        // Kind
    uint32_t headerSize;  // kHeaderSize
    uint32_t slotCount;   // frames or blocks held in the ring
    uint32_t slotStride;  // bytes from one slot to the next (slot header + payload capacity)
    uint64_t slotsOffset; // offset of slot 0 from the start of the object
    uint64_t totalSize;   // size of the object in bytes
    // video: pixel format and the largest frame a slot holds
    uint32_t fourcc;
    uint32_t maxWidth;
    uint32_t maxHeight;
    // audio: stream format
    uint32_t sampleRate;    // 48000
    uint32_t channels;      // 2
    uint32_t bitsPerSample; // 16
    uint32_t framesPerBlock;
    uint32_t producerPid;
    std::atomic<uint64_t> lastSeq; // newest published sequence number, 0 = none yet
    std::atomic<uint32_t> state;   // State
    uint32_t reserved0;
    std::atomic<uint64_t> request;     // written by the reader, PackRequest
    std::atomic<uint64_t> requestDone; // written by the producer: serial << 48 | RequestResult
    uint8_t reserved[kHeaderSize - 104];
};
static_assert(sizeof(Header) == kHeaderSize);
static_assert(std::atomic<uint64_t>::is_always_lock_free);

struct SlotHeader {
    std::atomic<uint64_t> seq; // 0 while being written, else the sequence number held
    uint64_t timestampNs;      // CLOCK_MONOTONIC
    uint32_t size;             // payload bytes
    uint32_t width;            // video only
    uint32_t height;           // video only
    uint32_t pitch;            // video only: bytes per line
    uint32_t fps;              // video only: frame rate the frame was produced at
    uint32_t fourcc;           // video only
    uint8_t reserved[64 - 40];
};
static_assert(sizeof(SlotHeader) == kSlotHeaderSize);

// Request word: serial (16 bits, nonzero) | fps (16) | height (16) | width (16).
inline uint64_t PackRequest(uint16_t serial, uint16_t width, uint16_t height, uint16_t fps) {
    return (uint64_t(serial) << 48) | (uint64_t(fps) << 32) | (uint64_t(height) << 16) | width;
}
inline uint16_t RequestSerial(uint64_t r) {
    return uint16_t(r >> 48);
}
inline uint16_t RequestFps(uint64_t r) {
    return uint16_t(r >> 32);
}
inline uint16_t RequestHeight(uint64_t r) {
    return uint16_t(r >> 16);
}
inline uint16_t RequestWidth(uint64_t r) {
    return uint16_t(r);
}

} // namespace ZotSimMedia

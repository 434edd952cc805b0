#include "sim/ZotSimMediaReader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ZotSimMedia;

ZotSimMediaReader::~ZotSimMediaReader() {
    Close();
}

bool ZotSimMediaReader::Open(const std::string& name, Kind kind, std::string& error) {
    Close();
    int fd = shm_open(name.c_str(), O_RDWR, 0);
    if (fd < 0) {
        error = "shm_open " + name + ": " + strerror(errno);
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || st.st_size < off_t(kHeaderSize)) {
        error = "shared memory " + name + " is too small";
        close(fd);
        return false;
    }
    const size_t size = size_t(st.st_size);
    void* base = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (base == MAP_FAILED) {
        error = "mmap " + name + ": " + strerror(errno);
        return false;
    }
    const auto* h = static_cast<const Header*>(base);
    const uint64_t stride = h->slotStride;
    const uint64_t slotsEnd = h->slotsOffset + stride * h->slotCount;
    const char* bad = nullptr;
    if (h->magic != kMagic || h->version != kVersion)
        bad = "unknown format";
    else if (h->kind != uint32_t(kind))
        bad = "wrong stream kind";
    else if (h->headerSize != kHeaderSize || h->slotCount < 2 || h->slotCount > 4096 ||
             stride <= kSlotHeaderSize || stride % 8 != 0 || h->slotsOffset < kHeaderSize ||
             h->slotsOffset % 8 != 0 || slotsEnd > size || h->totalSize > size)
        bad = "inconsistent sizes";
    if (bad != nullptr) {
        error = "shared memory " + name + ": " + bad;
        munmap(base, size);
        return false;
    }
    mBase = static_cast<uint8_t*>(base);
    mSize = size;
    mSlotCount = h->slotCount;
    mStride = uint32_t(stride);
    mSlotsOffset = h->slotsOffset;
    mLastSeq = 0;
    mMissed = 0;
    mRequestSerial = 0;
    return true;
}

void ZotSimMediaReader::Close() {
    if (mBase != nullptr)
        munmap(mBase, mSize);
    mBase = nullptr;
    mSize = 0;
}

ZotSimMediaReader::Result ZotSimMediaReader::Read(const std::function<void(const View&)>& consume,
                                                  bool newestOnly) {
    if (mBase == nullptr)
        return Result::Error;
    const Header* h = GetHeader();
    const uint64_t newest = h->lastSeq.load(std::memory_order_acquire);
    if (newest == 0 || newest <= mLastSeq) {
        if (h->state.load(std::memory_order_acquire) == uint32_t(State::Stopped))
            return Result::Stopped;
        return Result::NoFrame;
    }
    // The slot after `newest` may be being written: keep slotCount - 1 frames.
    const uint64_t oldestSafe = newest >= mSlotCount ? newest - mSlotCount + 2 : 1;
    uint64_t want = (mLastSeq == 0 || newestOnly) ? newest : mLastSeq + 1;
    if (want < oldestSafe) {
        mMissed += oldestSafe - want;
        want = oldestSafe;
    } else if (newestOnly && mLastSeq != 0) {
        mMissed += newest - mLastSeq - 1;
    }
    auto* slot =
        reinterpret_cast<SlotHeader*>(mBase + mSlotsOffset + uint64_t(mStride) * ((want - 1) % mSlotCount));
    if (slot->seq.load(std::memory_order_acquire) != want) {
        // Overwritten between the two loads: the producer is a whole ring ahead.
        mMissed += 1;
        mLastSeq = want;
        return Result::Torn;
    }
    View v;
    v.seq = want;
    v.timestampNs = slot->timestampNs;
    v.size = slot->size;
    v.width = slot->width;
    v.height = slot->height;
    v.pitch = slot->pitch;
    v.fps = slot->fps;
    v.fourcc = slot->fourcc;
    const uint32_t capacity = mStride - kSlotHeaderSize;
    bool sane = v.size <= capacity;
    if (h->kind == uint32_t(Kind::Video))
        sane = sane && v.pitch >= v.width * 2 && uint64_t(v.pitch) * v.height <= v.size;
    mLastSeq = want;
    if (!sane) {
        mMissed += 1;
        return Result::Torn;
    }
    v.data = reinterpret_cast<const uint8_t*>(slot) + kSlotHeaderSize;
    consume(v);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (slot->seq.load(std::memory_order_relaxed) != want) {
        mMissed += 1;
        return Result::Torn;
    }
    return Result::Frame;
}

uint16_t ZotSimMediaReader::RequestFormat(uint16_t width, uint16_t height, uint16_t fps) {
    if (mBase == nullptr)
        return 0;
    auto* h = reinterpret_cast<Header*>(mBase);
    uint16_t serial = uint16_t(RequestSerial(h->request.load(std::memory_order_acquire)) + 1);
    if (serial == 0)
        serial = 1;
    mRequestSerial = serial;
    h->request.store(PackRequest(serial, width, height, fps), std::memory_order_release);
    return serial;
}

uint32_t ZotSimMediaReader::RequestState(uint16_t serial) const {
    if (mBase == nullptr)
        return 0;
    const uint64_t done = GetHeader()->requestDone.load(std::memory_order_acquire);
    if (RequestSerial(done) != serial)
        return 0;
    return uint32_t(done & 0xFFFFFFFFU);
}

#include "sim/ZotSimMediaWriter.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

using namespace ZotSimMedia;

ZotSimMediaWriter::~ZotSimMediaWriter() {
    Destroy();
}

bool ZotSimMediaWriter::Create(const std::string& name, const Params& params, std::string& error) {
    Destroy();
    if (name.size() < 2 || name[0] != '/' || name.find('/', 1) != std::string::npos || name.size() > 250) {
        error = "invalid shared-memory name '" + name + "'";
        return false;
    }
    if (params.slotCount < 2 || params.payloadCapacity == 0) {
        error = "invalid stream size";
        return false;
    }
    const uint32_t stride = (kSlotHeaderSize + params.payloadCapacity + 63U) & ~63U;
    const size_t total = size_t(kHeaderSize) + size_t(stride) * params.slotCount;

    shm_unlink(name.c_str()); // a stale object left by a crashed run
    int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
        error = "shm_open " + name + ": " + strerror(errno);
        return false;
    }
    if (ftruncate(fd, off_t(total)) != 0) {
        error = "ftruncate " + name + ": " + strerror(errno);
        close(fd);
        shm_unlink(name.c_str());
        return false;
    }
    void* base = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (base == MAP_FAILED) {
        error = "mmap " + name + ": " + strerror(errno);
        shm_unlink(name.c_str());
        return false;
    }
    mBase = static_cast<uint8_t*>(base);
    mSize = total;
    mName = name;
    mSlotCount = params.slotCount;
    mStride = stride;
    mNextSeq = 1;

    auto* h = new (mBase) Header{};
    h->magic = kMagic;
    h->version = kVersion;
    h->kind = uint32_t(params.kind);
    h->headerSize = kHeaderSize;
    h->slotCount = params.slotCount;
    h->slotStride = stride;
    h->slotsOffset = kHeaderSize;
    h->totalSize = total;
    h->fourcc = params.kind == Kind::Video ? kFourccYuy2 : 0;
    h->maxWidth = params.maxWidth;
    h->maxHeight = params.maxHeight;
    h->sampleRate = params.sampleRate;
    h->channels = params.channels;
    h->bitsPerSample = params.bitsPerSample;
    h->framesPerBlock = params.framesPerBlock;
    h->producerPid = uint32_t(getpid());
    for (uint32_t i = 0; i < mSlotCount; ++i)
        new (Slot(i)) SlotHeader{};
    h->state.store(uint32_t(State::Starting), std::memory_order_release);
    return true;
}

void ZotSimMediaWriter::Destroy() {
    if (mBase == nullptr)
        return;
    GetHeader()->state.store(uint32_t(State::Stopped), std::memory_order_release);
    munmap(mBase, mSize);
    shm_unlink(mName.c_str());
    mBase = nullptr;
    mSize = 0;
}

SlotHeader* ZotSimMediaWriter::Slot(uint32_t index) {
    return reinterpret_cast<SlotHeader*>(mBase + kHeaderSize + size_t(mStride) * index);
}

uint32_t ZotSimMediaWriter::NextSlotIndex() const {
    return uint32_t((mNextSeq - 1) % mSlotCount);
}

uint8_t* ZotSimMediaWriter::BeginSlot() {
    SlotHeader* slot = Slot(NextSlotIndex());
    slot->seq.store(0, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    return reinterpret_cast<uint8_t*>(slot) + kSlotHeaderSize;
}

uint64_t ZotSimMediaWriter::Publish(uint64_t timestampNs, uint32_t size, uint32_t width, uint32_t height,
                                    uint32_t pitch, uint32_t fps) {
    SlotHeader* slot = Slot(NextSlotIndex());
    slot->timestampNs = timestampNs;
    slot->size = size;
    slot->width = width;
    slot->height = height;
    slot->pitch = pitch;
    slot->fps = fps;
    slot->fourcc = GetHeader()->fourcc;
    const uint64_t seq = mNextSeq++;
    slot->seq.store(seq, std::memory_order_release);
    GetHeader()->lastSeq.store(seq, std::memory_order_release);
    if (seq == 1)
        GetHeader()->state.store(uint32_t(State::Running), std::memory_order_release);
    return seq;
}

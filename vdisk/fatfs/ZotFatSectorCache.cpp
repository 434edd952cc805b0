#include "vdisk/fatfs/ZotFatSectorCache.h"

#include "vdisk/fatfs/ZotFatFs.h"

#include <cstring>

void ZotFatSectorCache::Reset(const FatMedia* media) {
    mMedia = media;
    mFatBase = mFatSize = 0;
    mFatCount = 1;
    mClock = 0;
    for (Slot& s : mSlots) {
        s.valid = false;
        s.dirty = false;
    }
}

void ZotFatSectorCache::SetFatMirror(uint32_t fatBase, uint32_t fatSize, uint8_t fatCount) {
    mFatBase = fatBase;
    mFatSize = fatSize;
    mFatCount = fatCount ? fatCount : 1;
}

bool ZotFatSectorCache::WriteBack(Slot& slot) {
    if (!slot.valid || !slot.dirty)
        return true;
    if (!mMedia || mMedia->write(0, slot.data, slot.sector, 1) != RES_OK)
        return false;
    if (mFatSize && slot.sector >= mFatBase && slot.sector - mFatBase < mFatSize) {
        for (uint8_t k = 1; k < mFatCount; ++k) {
            if (mMedia->write(0, slot.data, slot.sector + uint32_t(k) * mFatSize, 1) != RES_OK)
                return false;
        }
    }
    slot.dirty = false;
    return true;
}

ZotFatSectorCache::Slot* ZotFatSectorCache::Lookup(uint32_t sector, bool noRead) {
    ++mClock;
    Slot* victim = &mSlots[0];
    for (Slot& s : mSlots) {
        if (s.valid && s.sector == sector) {
            s.stamp = mClock;
            return &s;
        }
        if (!s.valid) {
            if (victim->valid)
                victim = &s;
        } else if (victim->valid && s.stamp < victim->stamp) {
            victim = &s;
        }
    }
    if (!WriteBack(*victim))
        return nullptr;
    victim->valid = false;
    if (noRead) {
        std::memset(victim->data, 0, kSectorSize);
    } else if (!mMedia || mMedia->read(0, victim->data, sector, 1) != RES_OK) {
        return nullptr;
    }
    victim->sector = sector;
    victim->valid = true;
    victim->dirty = false;
    victim->stamp = mClock;
    return victim;
}

const uint8_t* ZotFatSectorCache::Get(uint32_t sector) {
    Slot* s = Lookup(sector, false);
    return s ? s->data : nullptr;
}

uint8_t* ZotFatSectorCache::GetForWrite(uint32_t sector, bool noRead) {
    Slot* s = Lookup(sector, noRead);
    if (!s)
        return nullptr;
    s->dirty = true;
    return s->data;
}

bool ZotFatSectorCache::Flush() {
    bool ok = true;
    for (Slot& s : mSlots)
        ok = WriteBack(s) && ok;
    return ok;
}

bool ZotFatSectorCache::FlushRange(uint32_t first, uint32_t count) {
    bool ok = true;
    for (Slot& s : mSlots) {
        if (s.valid && s.dirty && s.sector >= first && s.sector - first < count)
            ok = WriteBack(s) && ok;
    }
    return ok;
}

void ZotFatSectorCache::Discard(uint32_t first, uint32_t count) {
    for (Slot& s : mSlots) {
        if (s.valid && s.sector >= first && s.sector - first < count) {
            s.valid = false;
            s.dirty = false;
        }
    }
}

bool ZotFatSectorCache::WriteZeros(uint32_t first, uint32_t count) {
    static const uint8_t zeros[16 * kSectorSize] = {};
    Discard(first, count);
    while (count > 0) {
        uint32_t n = count < 16 ? count : 16;
        if (!mMedia || mMedia->write(0, zeros, first, n) != RES_OK)
            return false;
        first += n;
        count -= n;
    }
    return true;
}

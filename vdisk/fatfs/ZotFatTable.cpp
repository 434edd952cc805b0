#include "vdisk/fatfs/ZotFatTable.h"

#include "vdisk/fatfs/ZotFatFs.h"

uint32_t ZotFatTable::NumEntries(const FATFS* fs) {
    return fs->n_fatent;
}

uint32_t ZotFatTable::EndMark(const FATFS* fs) {
    switch (fs->fs_type) {
    case FS_FAT12:
        return 0xFFF;
    case FS_FAT16:
        return 0xFFFF;
    default:
        return 0x0FFFFFFF;
    }
}

uint32_t ZotFatTable::ClusterToSector(const FATFS* fs, uint32_t clst) {
    if (!IsValidCluster(fs, clst))
        return 0;
    return fs->database + (clst - 2) * uint32_t(fs->csize);
}

uint32_t ZotFatTable::Get(FATFS* fs, uint32_t clst) {
    if (!IsValidCluster(fs, clst))
        return 1;
    switch (fs->fs_type) {
    case FS_FAT12: {
        uint32_t bc = clst + clst / 2;
        const uint8_t* p = fs->cache.Get(fs->fatbase + bc / 512);
        if (!p)
            return kDiskError;
        uint32_t lo = p[bc % 512];
        ++bc;
        p = fs->cache.Get(fs->fatbase + bc / 512);
        if (!p)
            return kDiskError;
        uint32_t v = lo | uint32_t(p[bc % 512]) << 8;
        return (clst & 1) ? v >> 4 : v & 0xFFF;
    }
    case FS_FAT16: {
        const uint8_t* p = fs->cache.Get(fs->fatbase + clst / 256);
        if (!p)
            return kDiskError;
        const uint8_t* e = p + (clst % 256) * 2;
        return uint32_t(e[0]) | uint32_t(e[1]) << 8;
    }
    case FS_FAT32: {
        const uint8_t* p = fs->cache.Get(fs->fatbase + clst / 128);
        if (!p)
            return kDiskError;
        const uint8_t* e = p + (clst % 128) * 4;
        return (uint32_t(e[0]) | uint32_t(e[1]) << 8 | uint32_t(e[2]) << 16 | uint32_t(e[3]) << 24) &
               0x0FFFFFFF;
    }
    default:
        return 1;
    }
}

bool ZotFatTable::Put(FATFS* fs, uint32_t clst, uint32_t value) {
    if (!IsValidCluster(fs, clst))
        return false;
    switch (fs->fs_type) {
    case FS_FAT12: {
        uint32_t bc = clst + clst / 2;
        uint8_t* p = fs->cache.GetForWrite(fs->fatbase + bc / 512);
        if (!p)
            return false;
        uint8_t& b0 = p[bc % 512];
        b0 = (clst & 1) ? uint8_t((b0 & 0x0F) | ((value & 0x0F) << 4)) : uint8_t(value);
        ++bc;
        p = fs->cache.GetForWrite(fs->fatbase + bc / 512);
        if (!p)
            return false;
        uint8_t& b1 = p[bc % 512];
        b1 = (clst & 1) ? uint8_t(value >> 4) : uint8_t((b1 & 0xF0) | ((value >> 8) & 0x0F));
        return true;
    }
    case FS_FAT16: {
        uint8_t* p = fs->cache.GetForWrite(fs->fatbase + clst / 256);
        if (!p)
            return false;
        uint8_t* e = p + (clst % 256) * 2;
        e[0] = uint8_t(value);
        e[1] = uint8_t(value >> 8);
        return true;
    }
    case FS_FAT32: {
        uint8_t* p = fs->cache.GetForWrite(fs->fatbase + clst / 128);
        if (!p)
            return false;
        uint8_t* e = p + (clst % 128) * 4;
        // The top four bits are reserved and kept.
        value = (value & 0x0FFFFFFF) | (uint32_t(e[3] & 0xF0) << 24);
        e[0] = uint8_t(value);
        e[1] = uint8_t(value >> 8);
        e[2] = uint8_t(value >> 16);
        e[3] = uint8_t(value >> 24);
        return true;
    }
    default:
        return false;
    }
}

uint32_t ZotFatTable::CreateChain(FATFS* fs, uint32_t prev) {
    const uint32_t count = fs->n_fatent;
    if (prev != 0 && !IsValidCluster(fs, prev))
        return 1;
    if (fs->free_clst == 0)
        return 0;
    uint32_t start = IsValidCluster(fs, prev) ? prev : fs->last_clst;
    if (!IsValidCluster(fs, start))
        start = 2;
    // Search forward from the hint, wrapping once round the FAT.
    uint32_t c = start;
    bool found = false;
    for (uint32_t n = 2; n < count; ++n) {
        ++c;
        if (c >= count)
            c = 2;
        uint32_t v = Get(fs, c);
        if (v == kDiskError)
            return kDiskError;
        if (v == 0) {
            found = true;
            break;
        }
    }
    if (!found) {
        fs->free_clst = 0;
        return 0;
    }
    if (!Put(fs, c, EndMark(fs)))
        return kDiskError;
    if (prev != 0 && !Put(fs, prev, c))
        return kDiskError;
    fs->last_clst = c;
    if (fs->free_clst != 0xFFFFFFFF && fs->free_clst > 0)
        --fs->free_clst;
    fs->fsi_dirty = 1;
    return c;
}

uint32_t ZotFatTable::RemoveChain(FATFS* fs, uint32_t clst, uint32_t prev) {
    if (!IsValidCluster(fs, clst))
        return 1;
    if (prev != 0 && IsValidCluster(fs, prev) && !Put(fs, prev, EndMark(fs)))
        return kDiskError;
    // Each freed cluster reads 0 afterwards, so a looping chain ends when it
    // comes back round; the count bounds it in any case.
    for (uint32_t n = 0; n < fs->n_fatent && IsValidCluster(fs, clst); ++n) {
        uint32_t next = Get(fs, clst);
        if (next == kDiskError)
            return kDiskError;
        if (next == 0)
            break;
        if (!Put(fs, clst, 0))
            return kDiskError;
        if (fs->free_clst != 0xFFFFFFFF && fs->free_clst < fs->n_fatent - 2)
            ++fs->free_clst;
        fs->fsi_dirty = 1;
        clst = next;
    }
    return 0;
}

uint32_t ZotFatTable::CountFree(FATFS* fs) {
    if (fs->free_clst != 0xFFFFFFFF && fs->free_clst <= fs->n_fatent - 2)
        return fs->free_clst;
    uint32_t free = 0;
    for (uint32_t c = 2; c < fs->n_fatent; ++c) {
        uint32_t v = Get(fs, c);
        if (v == kDiskError)
            return kDiskError;
        if (v == 0)
            ++free;
    }
    fs->free_clst = free;
    return free;
}

#include "vdisk/fatfs/ZotFatFormat.h"

#include "vdisk/fatfs/ZotFatDirectory.h"

#include <cstring>

namespace {

constexpr uint32_t kSectorSize = 512;
constexpr uint32_t kMaxFat12 = 4084;  // most clusters of FAT12
constexpr uint32_t kMaxFat16 = 65524; // most clusters of FAT16
constexpr uint32_t kMaxFat32 = 0x0FFFFFF5;

// Default cluster size: doubled once for every threshold the volume size
// reaches. FAT12/16 thresholds are in units of 2 MiB, FAT32 ones in 64 MiB.
uint32_t DefaultClusterSize(uint32_t volSectors, bool fat32) {
    static const uint32_t small[] = {1, 4, 16, 64, 256, 512};
    static const uint32_t large[] = {1, 2, 4, 8, 16, 32};
    const uint32_t* table = fat32 ? large : small;
    uint32_t units = fat32 ? volSectors / 0x20000 : volSectors / 0x1000;
    uint32_t size = 1;
    for (int i = 0; i < 6 && table[i] <= units; ++i)
        size <<= 1;
    return size;
}

void Put16(uint8_t* p, uint32_t v) {
    ZotFatDirectory::Store16(p, uint16_t(v));
}
void Put32(uint8_t* p, uint32_t v) {
    ZotFatDirectory::Store32(p, v);
}

// CHS address of a sector for a 255-head, 63-sector geometry.
void PutChs(uint8_t* p, uint32_t lba) {
    uint32_t cyl = lba / (255 * 63), head = (lba / 63) % 255, sec = lba % 63 + 1;
    if (cyl > 1023) {
        cyl = 1023;
        head = 254;
        sec = 63;
    }
    p[0] = uint8_t(head);
    p[1] = uint8_t(sec | ((cyl >> 2) & 0xC0));
    p[2] = uint8_t(cyl);
}

} // namespace

FRESULT ZotFatFormat::Plan(uint32_t deviceSectors, uint32_t eraseBlock, const MKFS_PARM& opt, Layout& out) {
    uint8_t fmt = opt.fmt & FM_ANY;
    if (fmt == 0 || (opt.n_fat > 2))
        return FR_INVALID_PARAMETER;
    uint32_t au = opt.au_size / kSectorSize;
    if (opt.au_size && (opt.au_size % kSectorSize || au > 128 || (au & (au - 1))))
        return FR_INVALID_PARAMETER;
    uint32_t align = opt.align ? opt.align : (eraseBlock ? eraseBlock : 1);
    if (align > 0x8000 || (align & (align - 1)))
        align = 1;
    out.fatCount = opt.n_fat ? opt.n_fat : 1;
    out.rootEntries = opt.n_root ? opt.n_root : 512;
    if (out.rootEntries > 0x8000 || out.rootEntries % 16)
        return FR_INVALID_PARAMETER;
    out.volBase = (opt.fmt & FM_SFD) ? 0 : kPartitionStart;
    if (deviceSectors <= out.volBase + 128)
        return FR_MKFS_ABORTED;
    out.volSize = deviceSectors - out.volBase;

    // FAT32 only when asked for alone; otherwise FAT12/16, moving to FAT32
    // when FAT16 cannot hold the volume.
    uint8_t type = (fmt & FM_FAT) ? FS_FAT16 : FS_FAT32;
    uint32_t pau = au;
    for (int attempt = 0; attempt < 32; ++attempt) {
        uint32_t cs = pau ? pau : DefaultClusterSize(out.volSize, type == FS_FAT32);
        uint32_t nclst = out.volSize / cs;
        uint32_t fatSize, reserved, rootSectors;
        if (type == FS_FAT32) {
            fatSize = uint32_t((uint64_t(nclst) * 4 + 8 + kSectorSize - 1) / kSectorSize);
            reserved = 32;
            rootSectors = 0;
        } else {
            uint32_t bytes = nclst > kMaxFat12 ? nclst * 2 + 4 : (nclst * 3 + 1) / 2 + 3;
            fatSize = (bytes + kSectorSize - 1) / kSectorSize;
            reserved = 1;
            rootSectors = out.rootEntries * 32 / kSectorSize;
        }
        // Align the data area to the erase block.
        uint32_t data = out.volBase + reserved + fatSize * out.fatCount + rootSectors;
        uint32_t pad = ((data + align - 1) & ~(align - 1)) - data;
        if (type == FS_FAT32) {
            reserved += pad;
        } else {
            fatSize += pad / out.fatCount;
            reserved += pad % out.fatCount;
        }
        uint64_t system = uint64_t(reserved) + uint64_t(fatSize) * out.fatCount + rootSectors;
        if (out.volSize < system + uint64_t(cs) * 16)
            return FR_MKFS_ABORTED;
        nclst = uint32_t((out.volSize - system) / cs);

        bool retry = false;
        if (type == FS_FAT32) {
            if (nclst <= kMaxFat16) {
                // Too few clusters for FAT32: smaller clusters if the size was ours to choose.
                if (!au && cs > 1) {
                    pau = cs / 2;
                    retry = true;
                } else {
                    return FR_MKFS_ABORTED;
                }
            } else if (nclst > kMaxFat32) {
                return FR_MKFS_ABORTED;
            }
        } else {
            if (nclst > kMaxFat16) {
                if (fmt & FM_FAT32) {
                    type = FS_FAT32;
                    pau = au;
                    retry = true;
                } else if (!au && cs < 128) {
                    pau = cs * 2;
                    retry = true;
                } else {
                    return FR_MKFS_ABORTED;
                }
            }
        }
        if (retry)
            continue;
        out.type = type == FS_FAT32 ? FS_FAT32 : (nclst <= kMaxFat12 ? FS_FAT12 : FS_FAT16);
        if (out.type == FS_FAT12 && nclst > kMaxFat12)
            return FR_MKFS_ABORTED;
        out.clusterSize = cs;
        out.reserved = reserved;
        out.fatSize = fatSize;
        out.rootSectors = rootSectors;
        out.clusters = nclst;
        if (type == FS_FAT32)
            out.rootEntries = 0;
        return FR_OK;
    }
    return FR_MKFS_ABORTED;
}

uint8_t ZotFatFormat::PartitionType(const Layout& layout) {
    if (layout.type == FS_FAT32)
        return 0x0C;
    if (layout.volSize >= 0x10000)
        return 0x06;
    return layout.type == FS_FAT16 ? 0x04 : 0x01;
}

FRESULT ZotFatFormat::Run(const FatMedia& media, const MKFS_PARM& opt, uint8_t* work, uint32_t len,
                          uint32_t time) {
    if (!work || len < kSectorSize)
        return FR_NOT_ENOUGH_CORE;
    uint8_t st = media.initialize(0);
    if (st & STA_NOINIT)
        return FR_NOT_READY;
    if (st & STA_PROTECT)
        return FR_WRITE_PROTECTED;
    uint16_t ss = kSectorSize;
    if (media.ioctl(0, GET_SECTOR_SIZE, &ss) == RES_OK && ss != kSectorSize)
        return FR_DISK_ERR;
    uint32_t sectors = 0, block = 1;
    if (media.ioctl(0, GET_SECTOR_COUNT, &sectors) != RES_OK)
        return FR_DISK_ERR;
    if (media.ioctl(0, GET_BLOCK_SIZE, &block) != RES_OK)
        block = 1;
    Layout l;
    FRESULT res = Plan(sectors, block, opt, l);
    if (res != FR_OK)
        return res;

    const uint32_t workSectors = len / kSectorSize;
    auto fill = [&](uint32_t first, uint32_t count) -> bool {
        std::memset(work, 0, size_t(workSectors) * kSectorSize);
        while (count > 0) {
            uint32_t n = count < workSectors ? count : workSectors;
            if (media.write(0, work, first, n) != RES_OK)
                return false;
            first += n;
            count -= n;
        }
        return true;
    };
    auto writeOne = [&](uint32_t sector) { return media.write(0, work, sector, 1) == RES_OK; };

    const bool fat32 = l.type == FS_FAT32;
    const uint32_t serial = l.volSize + time;

    // Boot sector.
    std::memset(work, 0, kSectorSize);
    uint8_t* b = work;
    b[0] = 0xEB;
    b[1] = fat32 ? 0x58 : 0x3C;
    b[2] = 0x90;
    std::memcpy(b + 3, "MSWIN4.1", 8);
    Put16(b + 11, kSectorSize);
    b[13] = uint8_t(l.clusterSize);
    Put16(b + 14, l.reserved);
    b[16] = uint8_t(l.fatCount);
    Put16(b + 17, fat32 ? 0 : l.rootEntries);
    if (l.volSize < 0x10000 && !fat32)
        Put16(b + 19, l.volSize);
    else
        Put32(b + 32, l.volSize);
    b[21] = 0xF8;
    Put16(b + 24, 63);
    Put16(b + 26, 255);
    Put32(b + 28, l.volBase);
    if (fat32) {
        Put32(b + 36, l.fatSize);
        Put32(b + 44, 2); // root folder cluster
        Put16(b + 48, 1); // FSInfo sector
        Put16(b + 50, 6); // backup boot sector
        b[64] = 0x80;
        b[66] = 0x29;
        Put32(b + 67, serial);
        std::memcpy(b + 71, "NO NAME    ", 11);
        std::memcpy(b + 82, "FAT32   ", 8);
    } else {
        Put16(b + 22, l.fatSize);
        b[36] = 0x80;
        b[38] = 0x29;
        Put32(b + 39, serial);
        std::memcpy(b + 43, "NO NAME    ", 11);
        std::memcpy(b + 54, l.type == FS_FAT12 ? "FAT12   " : "FAT16   ", 8);
    }
    b[510] = 0x55;
    b[511] = 0xAA;

    // Reserved area first (zeros), then the boot sector over it.
    uint8_t boot[kSectorSize];
    std::memcpy(boot, b, kSectorSize);
    if (!fill(l.volBase, l.reserved))
        return FR_DISK_ERR;
    std::memcpy(work, boot, kSectorSize);
    if (!writeOne(l.volBase))
        return FR_DISK_ERR;
    if (fat32) {
        if (!writeOne(l.volBase + 6))
            return FR_DISK_ERR;
        std::memset(work, 0, kSectorSize);
        Put32(work, 0x41615252);
        Put32(work + 484, 0x61417272);
        Put32(work + 488, l.clusters - 1);
        Put32(work + 492, 3);
        Put32(work + 508, 0xAA550000);
        if (!writeOne(l.volBase + 1) || !writeOne(l.volBase + 7))
            return FR_DISK_ERR;
    }

    // FATs: zeros, then the two reserved entries (and the root's chain on FAT32).
    uint32_t fatBase = l.volBase + l.reserved;
    if (!fill(fatBase, l.fatSize * l.fatCount))
        return FR_DISK_ERR;
    std::memset(work, 0, kSectorSize);
    if (fat32) {
        Put32(work, 0x0FFFFFF8);
        Put32(work + 4, 0x0FFFFFFF);
        Put32(work + 8, 0x0FFFFFFF);
    } else if (l.type == FS_FAT16) {
        Put32(work, 0xFFFFFFF8);
    } else {
        Put32(work, 0x00FFFFF8);
    }
    for (uint32_t k = 0; k < l.fatCount; ++k) {
        if (!writeOne(fatBase + k * l.fatSize))
            return FR_DISK_ERR;
    }
    // Root folder: the fixed area, or cluster 2.
    uint32_t dataBase = fatBase + l.fatSize * l.fatCount;
    if (!fill(dataBase, fat32 ? l.clusterSize : l.rootSectors))
        return FR_DISK_ERR;

    if (!(opt.fmt & FM_SFD)) {
        std::memset(work, 0, kSectorSize);
        uint8_t* pe = work + 446;
        pe[0] = 0x00;
        PutChs(pe + 1, l.volBase);
        pe[4] = PartitionType(l);
        PutChs(pe + 5, l.volBase + l.volSize - 1);
        Put32(pe + 8, l.volBase);
        Put32(pe + 12, l.volSize);
        work[510] = 0x55;
        work[511] = 0xAA;
        if (!writeOne(0))
            return FR_DISK_ERR;
    }
    if (media.ioctl(0, CTRL_SYNC, nullptr) != RES_OK)
        return FR_DISK_ERR;
    return FR_OK;
}

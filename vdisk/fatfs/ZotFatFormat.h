#pragma once
#include "vdisk/fatfs/ZotFatFs.h"

#include <cstdint>

// Formats a block device: optional partition table with one partition at
// sector 63, boot sector (and on FAT32 the FSInfo sector and the backup boot
// sector), empty FATs and an empty root folder.
class ZotFatFormat {
public:
    static constexpr uint32_t kPartitionStart = 63;

    struct Layout {
        uint8_t type;         // FS_FAT12/16/32
        uint32_t volBase;     // first sector of the volume
        uint32_t volSize;     // sectors
        uint32_t clusterSize; // sectors per cluster
        uint32_t reserved;    // reserved sectors
        uint32_t fatSize;     // sectors per FAT
        uint32_t fatCount;
        uint32_t rootEntries; // FAT12/16
        uint32_t rootSectors; // FAT12/16
        uint32_t clusters;
    };

    // Works out the layout without writing; FR_MKFS_ABORTED when the options
    // do not fit the device size.
    static FRESULT Plan(uint32_t deviceSectors, uint32_t eraseBlock, const MKFS_PARM& opt, Layout& out);
    // Plans and writes. `time` is the FAT time stamp used for the serial number.
    static FRESULT Run(const FatMedia& media, const MKFS_PARM& opt, uint8_t* work, uint32_t len,
                       uint32_t time);
    // The partition type byte for a layout.
    static uint8_t PartitionType(const Layout& layout);
};

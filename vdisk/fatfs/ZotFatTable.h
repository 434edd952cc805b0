#pragma once
#include <cstdint>

struct FATFS;

// The file allocation table of a mounted volume: entries, cluster chains and
// free-cluster accounting. Entry values are returned masked (28 bits on
// FAT32); kDiskError marks a failed device access.
class ZotFatTable {
public:
    static constexpr uint32_t kDiskError = 0xFFFFFFFF;

    // First sector of a cluster; 0 when the cluster is out of range.
    static uint32_t ClusterToSector(const FATFS* fs, uint32_t clst);
    static bool IsValidCluster(const FATFS* fs, uint32_t clst) { return clst >= 2 && clst < NumEntries(fs); }

    // Entry of `clst`: 0 free, a next cluster, an end mark (>= NumEntries),
    // 1 when clst itself is out of range, kDiskError on a device error.
    static uint32_t Get(FATFS* fs, uint32_t clst);
    // Stores `value` in the entry of `clst`; false on a device error or a
    // cluster out of range.
    static bool Put(FATFS* fs, uint32_t clst, uint32_t value);

    // Allocates a free cluster, marks it as end of chain and links it after
    // `prev` (0: a new chain). Returns the cluster, 0 when the volume is full,
    // 1 on a broken chain, kDiskError on a device error.
    static uint32_t CreateChain(FATFS* fs, uint32_t prev);
    // Frees the chain starting at `clst`; when `prev` is a cluster it becomes
    // the end of the remaining chain. Stops at a free or out-of-range link.
    // 0 on success, 1 on a broken chain, kDiskError on a device error.
    static uint32_t RemoveChain(FATFS* fs, uint32_t clst, uint32_t prev);
    // Counts the free clusters (scans the FAT once and caches the count).
    static uint32_t CountFree(FATFS* fs);
    // The end-of-chain mark of the volume's FAT type.
    static uint32_t EndMark(const FATFS* fs);

private:
    static uint32_t NumEntries(const FATFS* fs);
};

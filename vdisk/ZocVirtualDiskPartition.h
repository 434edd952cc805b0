#pragma once
// Locating the FAT partition inside a disk image (for the device side, which
// serves the partition alone to the target).
#include <cstdint>
#include <istream>

namespace ZocVirtualDisk {

class Partition {
public:
    // Reads the partition table of the image stream (positioned at its start)
    // and the partition's boot sector. Fails with a "Virtual Disk Info" box on
    // a bad signature or when no FAT partition is listed.
    static bool GetFatPartitionInfo(std::istream& image, uint32_t& offset, uint32_t& bytesPerSector,
                                    uint32_t& sectorCount);
};

} // namespace ZocVirtualDisk

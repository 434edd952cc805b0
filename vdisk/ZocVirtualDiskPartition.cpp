#include "vdisk/ZocVirtualDiskPartition.h"

#include "ui/ZocModalDialog.h"

#include <string>

namespace ZocVirtualDisk {

namespace {

constexpr const char* kTitle = "Virtual Disk Info";

uint16_t L16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t L32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool ReadSector(std::istream& in, uint8_t* sector) {
    in.read(reinterpret_cast<char*>(sector), 512);
    return in.gcount() == 512;
}

} // namespace

bool Partition::GetFatPartitionInfo(std::istream& image, uint32_t& offset, uint32_t& bytesPerSector,
                                    uint32_t& sectorCount) {
    uint8_t sector[512] = {};
    ReadSector(image, sector);
    uint16_t signature = L16(sector + 510);
    if (signature != 0xAA55) {
        ZocUi::ModalDialog::CreateTextBox(kTitle, "Invalid MBR signature: " + std::to_string(signature));
        return false;
    }
    const uint8_t* found = nullptr;
    for (int i = 0; i < 4 && !found; ++i) {
        const uint8_t* entry = sector + 446 + 16 * i;
        uint8_t type = entry[4];
        if (type == 0x04 || type == 0x06 || type == 0x0C || type == 0x0E || type == 0xEE)
            found = entry;
    }
    if (!found) {
        ZocUi::ModalDialog::CreateTextBox(kTitle, "No FAT partition found");
        return false;
    }
    uint32_t start = L32(found + 8) * 512u; // in 32 bits, as the device side sees it
    if (L32(found + 8) >= (1u << 22) || start >= 0x80000000u)
        return false;
    image.clear();
    image.seekg(std::streamoff(start));
    uint8_t boot[512] = {};
    ReadSector(image, boot);
    signature = L16(boot + 510);
    if (signature != 0xAA55) {
        ZocUi::ModalDialog::CreateTextBox(kTitle,
                                          "Invalid boot sector signature: " + std::to_string(signature));
        return false;
    }
    offset = start;
    bytesPerSector = L16(boot + 11);
    sectorCount = uint32_t(L16(boot + 19)) + L32(boot + 32);
    return true;
}

} // namespace ZocVirtualDisk

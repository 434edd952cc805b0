#pragma once
#include <cstddef>
#include <cstdint>

// Table-driven checksums of the protocol.
class ZoCrc {
public:
    // Body checksum: CRC-8, polynomial 0x07, initial 0, no reflection, no
    // final XOR. Pass the previous result as `crc` to continue over a second range.
    static uint8_t Crc8(const void* data, size_t length, uint8_t crc = 0);

    // Image checksum: standard reflected CRC-32 (0xEDB88320, init and final
    // XOR 0xFFFFFFFF). Continue a running checksum by passing the previous result.
    static uint32_t Crc32(const void* data, size_t length, uint32_t previous = 0);
};

#pragma once
#include <cstddef>
#include <cstdint>

// The 128-byte header at the start of every firmware image file; also the
// whole body of a FwUpdateFinish message. Packed, little-endian.
#pragma pack(push, 1)
struct ZoFirmwareInfo {
    static constexpr uint64_t kLeadingMagic0 = 0x8765432112345678ull;
    static constexpr uint64_t kLeadingMagic1 = 0xFEDCBA0990ABCDEFull;
    static constexpr uint64_t kTrailingMagic0 = 0xFDB9753113579BDFull;
    static constexpr uint64_t kTrailingMagic1 = 0xECA8642002468ACEull;
    static constexpr uint32_t kHeaderFormat = 1;
    static constexpr size_t kBuildTimeSize = 21;

    uint64_t leadingMagic[2]; // kLeadingMagic0, kLeadingMagic1
    uint32_t headerFormat;    // kHeaderFormat
    uint16_t versionMajor;    // firmware version
    uint16_t versionMinor;
    uint32_t imageLength;           // bytes following the header, a multiple of 256
    uint32_t imageCrc;              // CRC-32 of the image bytes
    char buildTime[kBuildTimeSize]; // "2024.01.01T00:00:00Z", NUL-terminated
    uint8_t sku;                    // sku the image is built for
    uint8_t reserved[58];
    uint64_t trailingMagic[2]; // kTrailingMagic0, kTrailingMagic1

    // True when both magic pairs and the header format are right.
    bool HasValidMagic() const {
        return leadingMagic[0] == kLeadingMagic0 && leadingMagic[1] == kLeadingMagic1 &&
               trailingMagic[0] == kTrailingMagic0 && trailingMagic[1] == kTrailingMagic1 &&
               headerFormat == kHeaderFormat;
    }
};
#pragma pack(pop)

static_assert(sizeof(ZoFirmwareInfo) == 128);
static_assert(offsetof(ZoFirmwareInfo, headerFormat) == 16);
static_assert(offsetof(ZoFirmwareInfo, imageLength) == 24);
static_assert(offsetof(ZoFirmwareInfo, buildTime) == 32);
static_assert(offsetof(ZoFirmwareInfo, sku) == 53);
static_assert(offsetof(ZoFirmwareInfo, trailingMagic) == 112);

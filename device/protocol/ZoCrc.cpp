#include "device/protocol/ZoCrc.h"

#include <array>

namespace {

// Slice-by-8 tables: tables[0] is the classic byte table, tables[k][x] the
// register after byte x followed by k zero bytes. The CRC is linear, so eight
// bytes fold into one step: T7[c^b0] ^ T6[b1] ^ ... ^ T0[b7].
constexpr std::array<std::array<uint8_t, 256>, 8> MakeCrc8Tables() {
    std::array<std::array<uint8_t, 256>, 8> tables{};
    for (int i = 0; i < 256; ++i) {
        uint8_t crc = static_cast<uint8_t>(i);
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<uint8_t>((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
        }
        tables[0][i] = crc;
    }
    for (int t = 1; t < 8; ++t) {
        for (int i = 0; i < 256; ++i) {
            tables[t][i] = tables[0][tables[t - 1][i]];
        }
    }
    return tables;
}

// Slice-by-4 tables: table[0] is the classic byte table.
constexpr std::array<std::array<uint32_t, 256>, 4> MakeCrc32Tables() {
    std::array<std::array<uint32_t, 256>, 4> tables{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        }
        tables[0][i] = crc;
    }
    for (uint32_t i = 0; i < 256; ++i) {
        for (int t = 1; t < 4; ++t) {
            tables[t][i] = (tables[t - 1][i] >> 8) ^ tables[0][tables[t - 1][i] & 0xFF];
        }
    }
    return tables;
}

constexpr auto kCrc8Tables = MakeCrc8Tables();
constexpr auto kCrc32Tables = MakeCrc32Tables();

} // namespace

uint8_t ZoCrc::Crc8(const void* data, size_t length, uint8_t crc) {
    const auto* p = static_cast<const uint8_t*>(data);
    const auto& t = kCrc8Tables;
    while (length >= 8) {
        crc = t[7][crc ^ p[0]] ^ t[6][p[1]] ^ t[5][p[2]] ^ t[4][p[3]] ^ t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^
              t[0][p[7]];
        p += 8;
        length -= 8;
    }
    while (length-- > 0) {
        crc = t[0][crc ^ *p++];
    }
    return crc;
}

uint32_t ZoCrc::Crc32(const void* data, size_t length, uint32_t previous) {
    const auto* p = static_cast<const uint8_t*>(data);
    uint32_t crc = ~previous;
    while (length >= 4) {
        crc ^= static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
               static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
        crc = kCrc32Tables[3][crc & 0xFF] ^ kCrc32Tables[2][(crc >> 8) & 0xFF] ^
              kCrc32Tables[1][(crc >> 16) & 0xFF] ^ kCrc32Tables[0][crc >> 24];
        p += 4;
        length -= 4;
    }
    while (length-- > 0) {
        crc = kCrc32Tables[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

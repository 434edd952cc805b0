#include "device/protocol/ZoCrc.h"
#include "device/protocol/ZoFirmwareInfo.h"
#include "device/protocol/ZoMsg.h"
#include "device/protocol/ZoUtils.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

template <typename T> std::vector<uint8_t> BytesOf(const T& record) {
    std::vector<uint8_t> bytes(sizeof(T));
    std::memcpy(bytes.data(), &record, sizeof(T));
    return bytes;
}

TEST(ZoCrc, CheckValuesAndPingGoldens) {
    const char* check = "123456789";
    EXPECT_EQ(ZoCrc::Crc8(check, 9), 0xF4);
    EXPECT_EQ(ZoCrc::Crc32(check, 9), 0xCBF43926u);
    EXPECT_EQ(ZoCrc::Crc8(nullptr, 0), 0);

    ZoMsg::Body::PingType ping;
    ping.kind = ZoMsg::Body::PingType::kRequestInfo;
    EXPECT_EQ(ZoCrc::Crc8(&ping, sizeof ping), 0x15);
    ping.kind = ZoMsg::Body::PingType::kKeepAlive;
    EXPECT_EQ(ZoCrc::Crc8(&ping, sizeof ping), 0x2A);
}

TEST(ZoCrc, ContinuesAcrossRanges) {
    // A record followed by a buffer is checksummed as one body; the same
    // holds for CRC-32 over a firmware image read in blocks. Odd split points
    // cross the 4-byte steps of the CRC-32 loop.
    std::vector<uint8_t> data(1031);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 37 + 11);
    }
    for (size_t split : {0u, 1u, 5u, 6u, 517u, 1031u}) {
        SCOPED_TRACE(split);
        EXPECT_EQ(ZoCrc::Crc8(data.data() + split, data.size() - split, ZoCrc::Crc8(data.data(), split)),
                  ZoCrc::Crc8(data.data(), data.size()));
        EXPECT_EQ(ZoCrc::Crc32(data.data() + split, data.size() - split, ZoCrc::Crc32(data.data(), split)),
                  ZoCrc::Crc32(data.data(), data.size()));
    }
}

TEST(ZoUtils, HexDumpSpacesAfterEverySecondByte) {
    const uint8_t bytes[] = {0x3C, 0x5A, 0xA5, 0xC3, 0x0F};
    EXPECT_EQ(ZoUtils::BinaryToHexString(bytes, 0), "");
    EXPECT_EQ(ZoUtils::BinaryToHexString(bytes, 1), "3C");
    EXPECT_EQ(ZoUtils::BinaryToHexString(bytes, 4), "3C5A A5C3 ");
    EXPECT_EQ(ZoUtils::BinaryToHexString(bytes, 5), "3C5A A5C3 0F");
}

TEST(ZoMsg, RecordDefaultsAndLayout) {
    // The configuration record as the settings start it.
    const ZoMsg::Body::ToviConfig config;
    const std::vector<uint8_t> expected = {0x02, 0, 0, 0, 0,   0, 0, 0, 0,    0,
                                           0,    0, 0, 0, 200, 0, 0, 0, 0x30, 0};
    EXPECT_EQ(BytesOf(config), expected);

    // An information record before any report: all zero but version 1.4.
    const auto info = BytesOf(ZoMsg::Body::ToviInfo{});
    EXPECT_EQ(info[0], 1);
    EXPECT_EQ(info[2], 4);
    for (size_t i = 4; i < info.size(); ++i) {
        ASSERT_EQ(info[i], 0) << i;
    }

    ZoMsg::Head head;
    head.flags = 2;
    head.crc = 0xAB;
    head.seq = 0x1234;
    head.type = ZoMsg::ToU16(ZoMsg::Type::ToviConfig);
    head.size = 20;
    EXPECT_EQ(BytesOf(head), (std::vector<uint8_t>{0x02, 0xAB, 0x34, 0x12, 120, 0, 20, 0}));

    uint32_t preamble;
    std::memcpy(&preamble, ZoMsg::kPreambleBytes, 4);
    EXPECT_EQ(preamble, ZoMsg::Preamble);
    uint32_t postamble;
    std::memcpy(&postamble, ZoMsg::kPostambleBytes, 4);
    EXPECT_EQ(postamble, ZoMsg::Postamble);
}

TEST(ZoFirmwareInfo, MagicBytesOnTheWire) {
    ZoFirmwareInfo header{};
    header.leadingMagic[0] = ZoFirmwareInfo::kLeadingMagic0;
    header.leadingMagic[1] = ZoFirmwareInfo::kLeadingMagic1;
    header.trailingMagic[0] = ZoFirmwareInfo::kTrailingMagic0;
    header.trailingMagic[1] = ZoFirmwareInfo::kTrailingMagic1;
    header.headerFormat = ZoFirmwareInfo::kHeaderFormat;
    EXPECT_TRUE(header.HasValidMagic());
    const auto bytes = BytesOf(header);
    const std::vector<uint8_t> leading = {0x78, 0x56, 0x34, 0x12, 0x21, 0x43, 0x65, 0x87,
                                          0xEF, 0xCD, 0xAB, 0x90, 0x09, 0xBA, 0xDC, 0xFE};
    const std::vector<uint8_t> trailing = {0xDF, 0x9B, 0x57, 0x13, 0x31, 0x75, 0xB9, 0xFD,
                                           0xCE, 0x8A, 0x46, 0x02, 0x20, 0x64, 0xA8, 0xEC};
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 16), leading);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 112, bytes.end()), trailing);
    header.headerFormat = 2;
    EXPECT_FALSE(header.HasValidMagic());
}

} // namespace

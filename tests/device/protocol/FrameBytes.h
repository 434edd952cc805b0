#pragma once
// Protocol frames built by hand for tests, independent of the send buffer.
#include "device/protocol/ZoCrc.h"

#include <cstdint>
#include <vector>

namespace FrameBytes {
using Bytes = std::vector<uint8_t>;

inline Bytes MakeFrame(uint16_t type, uint16_t seq, const Bytes& body, bool withCrc = true) {
    Bytes frame = {0x3C, 0x5A, 0xA5, 0xC3};
    const uint8_t crc = withCrc ? ZoCrc::Crc8(body.data(), body.size()) : 0;
    const uint8_t head[8] = {uint8_t(type == 120 ? 2 : 0), // ToviConfig frames carry flags 2
                             crc,
                             uint8_t(seq),
                             uint8_t(seq >> 8),
                             uint8_t(type),
                             uint8_t(type >> 8),
                             uint8_t(body.size()),
                             uint8_t(body.size() >> 8)};
    frame.insert(frame.end(), head, head + 8);
    frame.insert(frame.end(), body.begin(), body.end());
    frame.insert(frame.end(), {0xC9, 0x6D, 0xD6, 0x9C});
    return frame;
}
} // namespace FrameBytes

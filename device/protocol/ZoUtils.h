#pragma once
#include <cstddef>
#include <string>

// Small helpers of the protocol layer.
class ZoUtils {
public:
    // Two upper-case hex digits per byte, a space after every second byte
    // ("3C5A A5C3 0102 "). Used by every "discarded"/"invalid" protocol log line.
    static std::string BinaryToHexString(const void* data, size_t length);
};

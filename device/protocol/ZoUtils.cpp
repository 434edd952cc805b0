#include "device/protocol/ZoUtils.h"

#include <cstdint>

std::string ZoUtils::BinaryToHexString(const void* data, size_t length) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const auto* p = static_cast<const uint8_t*>(data);
    std::string text;
    if (p == nullptr) {
        return text;
    }
    text.reserve(length * 2 + length / 2);
    for (size_t i = 0; i < length; ++i) {
        text.push_back(kDigits[p[i] >> 4]);
        text.push_back(kDigits[p[i] & 0x0F]);
        if (i & 1) {
            text.push_back(' ');
        }
    }
    return text;
}

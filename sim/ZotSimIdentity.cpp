#include "sim/ZotSimIdentity.h"

#include <cstdio>

uint32_t ZotSimIdentity::HashUid(uint64_t uid) {
    uint32_t hash = 0x811C9DC5U;
    for (int i = 0; i < 8; ++i) {
        hash *= 16777619U;
        hash ^= uint8_t(uid >> (8 * i));
    }
    return hash;
}

char ZotSimIdentity::Base36Digit(unsigned value) {
    static constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    return value < 36 ? kDigits[value] : '0';
}

std::string ZotSimIdentity::MakeId(uint64_t uid, unsigned avMajor, unsigned avMinor) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", HashUid(uid));
    return std::string(hex) + Base36Digit(avMajor) + Base36Digit(avMinor);
}

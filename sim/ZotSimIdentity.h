#pragma once
#include <cstdint>
#include <string>

// How a Tovi's ids are formed. The camera and the audio input are named
// "Tovi (ID)", where ID is eight upper-case hexadecimal digits of the 32-bit
// FNV-1 hash of the 8 unique-id bytes (little-endian, as in the ToviInfo
// report), then the A/V firmware major and minor version as one base-36 digit each.
class ZotSimIdentity {
public:
    static uint32_t HashUid(uint64_t uid);
    static std::string MakeId(uint64_t uid, unsigned avMajor, unsigned avMinor);
    static std::string DeviceName(const std::string& id) { return "Tovi (" + id + ")"; }
    // A version digit: 0..35 as '0'..'9', 'A'..'Z'.
    static char Base36Digit(unsigned value);
};

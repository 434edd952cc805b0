#pragma once
#include "device/transport/ZocToviDeviceInfo.h"

#include <cstdint>
#include <string>
#include <vector>

// Helpers of discovery.
namespace ZocToviUtils {
// FNV-1 of the 8 uid bytes of a ToviInfo report.
uint32_t HashUid(const uint8_t uid[8]);
// Asks the Tovi behind `path` for its information report; the hash of its
// uid, 0 on any failure.
uint32_t GetToviIdHash(const std::string& path);
uint32_t GetToviIdHashSafe(const std::string& path);
bool AreListsEqual(const std::vector<ZocToviDeviceInfo::CommInfo>& a,
                   const std::vector<ZocToviDeviceInfo::CommInfo>& b);
bool AreListsEqual(const std::vector<std::string>& a, const std::vector<std::string>& b);
} // namespace ZocToviUtils

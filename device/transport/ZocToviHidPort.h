#pragma once
#include <cstdint>
#include <string>

// The Tovi's HID interface: the feature report that chooses the video
// resolutions the Tovi advertises to the target (its EDID).
class ZocToviHidPort {
public:
    static constexpr uint16_t kVendorId = 0x345F;
    static constexpr uint16_t kProductId = 0x2130;
    static constexpr uint8_t kCmdSetEdid = 0x0A;
    static constexpr size_t kReportSize = 9;

    // Sends the resolution code of width x height to the Tovi whose HID
    // serial number contains `id` (the first Tovi when `id` is empty) and
    // checks its answer. Every failure is logged; true when the Tovi took it.
    static bool SetVideoEdid(const std::string& id, int width, int height);
    // 4096x2160 -> 1, 1920x1080 -> 10, 1280x720 -> 11, 1280x960 -> 12,
    // 1024x768 -> 13, 800x600 -> 14, 640x480 -> 15, 1280x1024 -> 16, else 0.
    static uint8_t GetResolutionCode(int width, int height);
};

#pragma once
#include "platform/linux/ZomHidDeviceI.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The HID layer: devices of SDL's hidapi (hidraw) and the HID endpoints of
// simulated Tovis listed in the runtime registry.
class ZomHid {
public:
    struct DeviceInfo {
        std::string path; // hidraw path, or the simulated endpoint's socket
        uint16_t vendorId = 0;
        uint16_t productId = 0;
        std::wstring serial; // serial-number string
        bool simulated = false;
    };

    // Every device with the given vendor and product ids (SDL's devices
    // first, then simulated ones, in id order). False with `error` set when
    // the HID API cannot enumerate at all.
    static bool Enumerate(uint16_t vendorId, uint16_t productId, std::vector<DeviceInfo>& devices,
                          std::string& error);
    // Null with `error` set on failure.
    static std::unique_ptr<ZomHidDeviceI> Open(const DeviceInfo& device, std::string& error);

    // UTF-8 to the wide text of serial-number strings (one character per
    // code point; invalid bytes become U+FFFD).
    static std::wstring Widen(const std::string& text);
};

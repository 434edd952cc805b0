#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// One open HID device (a real one through SDL's hidapi, or a simulated
// Tovi's HID endpoint). Closed by its destructor.
class ZomHidDeviceI {
public:
    virtual ~ZomHidDeviceI() = default;
    // `report[0]` is the report id. Bytes taken, or -1 (see GetError).
    virtual int SendFeatureReport(const uint8_t* report, size_t length) = 0;
    // `report[0]` holds the wanted report id on entry. Bytes read (report
    // id included), or -1 (see GetError).
    virtual int GetFeatureReport(uint8_t* report, size_t length) = 0;
    // The reason of the last failure.
    virtual std::string GetError() const = 0;
};

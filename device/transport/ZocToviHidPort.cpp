#include "device/transport/ZocToviHidPort.h"

#include "app/ZocLog.h"
#include "platform/linux/ZomHid.h"

#include <vector>

uint8_t ZocToviHidPort::GetResolutionCode(int width, int height) {
    struct Mode {
        int width, height;
        uint8_t code;
    };
    static constexpr Mode kModes[] = {{4096, 2160, 1}, {1920, 1080, 10}, {1280, 720, 11}, {1280, 960, 12},
                                      {1024, 768, 13}, {800, 600, 14},   {640, 480, 15},  {1280, 1024, 16}};
    for (const Mode& mode : kModes)
        if (mode.width == width && mode.height == height)
            return mode.code;
    return 0;
}

bool ZocToviHidPort::SetVideoEdid(const std::string& id, int width, int height) {
    std::vector<ZomHid::DeviceInfo> devices;
    std::string error;
    if (!ZomHid::Enumerate(kVendorId, kProductId, devices, error)) {
        ZocLog::Video().Error("Failed to list HID devices, error %s", error.c_str());
        return false;
    }
    const ZomHid::DeviceInfo* chosen = nullptr;
    const std::wstring wideId = ZomHid::Widen(id);
    for (const ZomHid::DeviceInfo& device : devices)
        if (id.empty() || device.serial.find(wideId) != std::wstring::npos) {
            chosen = &device;
            break;
        }
    if (!chosen) {
        ZocLog::Video().Warn("No Tovi HID device found");
        return false;
    }

    const uint8_t code = GetResolutionCode(width, height);
    bool ok = false;
    std::unique_ptr<ZomHidDeviceI> hid = ZomHid::Open(*chosen, error);
    if (!hid) {
        ZocLog::Video().Error("Failed to send HID feature, error: %s", error.c_str()); // could not open it
    } else {
        uint8_t report[kReportSize] = {0x00, kCmdSetEdid, 0x04, code, 0, 0, 0, 0, 0};
        uint8_t answer[kReportSize] = {};
        if (hid->SendFeatureReport(report, sizeof report) < 0) {
            ZocLog::Video().Error("Failed to send HID feature, error: %s", hid->GetError().c_str());
        } else if (hid->GetFeatureReport(answer, sizeof answer) < 0) {
            ZocLog::Video().Error("Failed to get HID feature, error: %s", hid->GetError().c_str());
        } else if (answer[1] == kCmdSetEdid && answer[2] == 0) {
            ZocLog::Video().Info("EDID set to: %hhu", code);
            ok = true;
        } else {
            ZocLog::Video().Error("Unexpected result, cmd %hhu/%hhu, code %hhu/%hhu", kCmdSetEdid, answer[1],
                                  uint8_t(0), answer[2]);
        }
    }
    if (!ok)
        ZocLog::Video().Error("Failed to set EDID to %hhu", code);
    return ok;
}

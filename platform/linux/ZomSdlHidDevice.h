#pragma once
#include "platform/linux/ZomHidDeviceI.h"

#include <SDL.h>

// A HID device opened through SDL's hidapi.
class ZomSdlHidDevice : public ZomHidDeviceI {
public:
    explicit ZomSdlHidDevice(SDL_hid_device* device) : mDevice(device) {}
    ~ZomSdlHidDevice() override;
    ZomSdlHidDevice(const ZomSdlHidDevice&) = delete;
    ZomSdlHidDevice& operator=(const ZomSdlHidDevice&) = delete;

    int SendFeatureReport(const uint8_t* report, size_t length) override;
    int GetFeatureReport(uint8_t* report, size_t length) override;
    std::string GetError() const override { return mError; }

private:
    SDL_hid_device* mDevice;
    std::string mError;
};

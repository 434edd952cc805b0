#include "platform/linux/ZomSdlHidDevice.h"

ZomSdlHidDevice::~ZomSdlHidDevice() {
    if (mDevice)
        SDL_hid_close(mDevice);
}

int ZomSdlHidDevice::SendFeatureReport(const uint8_t* report, size_t length) {
    int result = SDL_hid_send_feature_report(mDevice, report, length);
    if (result < 0)
        mError = SDL_GetError();
    return result < 0 ? -1 : result;
}

int ZomSdlHidDevice::GetFeatureReport(uint8_t* report, size_t length) {
    int result = SDL_hid_get_feature_report(mDevice, report, length);
    if (result < 0)
        mError = SDL_GetError();
    return result < 0 ? -1 : result;
}

#include "platform/linux/ZomHid.h"

#include "platform/linux/ZomSdlHidDevice.h"
#include "platform/linux/ZomSimDeviceRegistry.h"
#include "platform/linux/ZomSimHidDevice.h"

#include <SDL.h>

std::wstring ZomHid::Widen(const std::string& text) {
    std::wstring wide;
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t extra = lead < 0x80           ? 0
                       : (lead >> 5) == 0x6  ? 1
                       : (lead >> 4) == 0xE  ? 2
                       : (lead >> 3) == 0x1E ? 3
                                             : 4;
        uint32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
        bool valid = extra < 4 && i + extra < text.size();
        for (size_t k = 1; valid && k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = code << 6 | (next & 0x3F);
        }
        if (!valid) {
            wide += wchar_t(0xFFFD);
            ++i;
            continue;
        }
        wide += wchar_t(code);
        i += extra + 1;
    }
    return wide;
}

bool ZomHid::Enumerate(uint16_t vendorId, uint16_t productId, std::vector<DeviceInfo>& devices,
                       std::string& error) {
    // Every HID device, not only game controllers.
    SDL_SetHint("SDL_HIDAPI_ENUMERATE_ONLY_CONTROLLERS", "0");
    if (SDL_hid_init() != 0) {
        error = SDL_GetError();
        return false;
    }
    SDL_hid_device_info* list = SDL_hid_enumerate(vendorId, productId);
    for (SDL_hid_device_info* item = list; item; item = item->next) {
        if (item->vendor_id != vendorId || item->product_id != productId || !item->path)
            continue;
        DeviceInfo info;
        info.path = item->path;
        info.vendorId = item->vendor_id;
        info.productId = item->product_id;
        if (item->serial_number)
            info.serial = item->serial_number;
        devices.push_back(std::move(info));
    }
    SDL_hid_free_enumeration(list);

    for (const ZomSimDeviceRegistry::Entry& entry : ZomSimDeviceRegistry::List()) {
        if (entry.hidSocket.empty() || entry.hidVendorId != vendorId || entry.hidProductId != productId)
            continue;
        DeviceInfo info;
        info.path = entry.hidSocket;
        info.vendorId = vendorId;
        info.productId = productId;
        info.serial = Widen(entry.hidSerial);
        info.simulated = true;
        devices.push_back(std::move(info));
    }
    return true;
}

std::unique_ptr<ZomHidDeviceI> ZomHid::Open(const DeviceInfo& device, std::string& error) {
    if (device.simulated) {
        auto sim = std::make_unique<ZomSimHidDevice>();
        if (!sim->Connect(device.path)) {
            error = sim->GetError();
            return nullptr;
        }
        return sim;
    }
    SDL_hid_device* handle = SDL_hid_open_path(device.path.c_str(), 0);
    if (!handle) {
        error = SDL_GetError();
        return nullptr;
    }
    return std::make_unique<ZomSdlHidDevice>(handle);
}

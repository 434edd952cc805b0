#pragma once
#include "platform/linux/ZomHidDeviceI.h"

#include <string>

// The HID endpoint of a simulated Tovi: a Unix SOCK_SEQPACKET socket where
// each request packet gets one reply packet (layout in sim/ZotSimHid.h).
// Replies are untrusted: sizes are checked before anything is copied.
class ZomSimHidDevice : public ZomHidDeviceI {
public:
    static constexpr int kTimeoutMs = 1000; // per reply

    ~ZomSimHidDevice() override;
    ZomSimHidDevice() = default;
    ZomSimHidDevice(const ZomSimHidDevice&) = delete;
    ZomSimHidDevice& operator=(const ZomSimHidDevice&) = delete;

    bool Connect(const std::string& socketPath);
    int SendFeatureReport(const uint8_t* report, size_t length) override;
    int GetFeatureReport(uint8_t* report, size_t length) override;
    std::string GetError() const override { return mError; }

private:
    // Sends `request` and receives one reply into `reply`; its size, or -1.
    int Exchange(const uint8_t* request, size_t requestSize, uint8_t* reply, size_t replySize);

    int mSocket = -1;
    std::string mError;
};

#pragma once

#include "sim/ZotSimWakeFd.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// The simulated Tovi's HID interface: feature reports over a Unix
// SOCK_SEQPACKET socket (path in the registry entry, "hid.socket").
//
// Each request is one packet; each gets one reply packet:
//   01, report...          send a feature report (report[0] is the report id)
//                          -> i32 little-endian: bytes taken, or -1
//   02, id, u16 length     get a feature report of up to `length` bytes
//                          -> i32 bytes returned (or -1), then the report (report[0] = id)
// Anything else -> i32 -1.
//
// The resolution command is the 9-byte report 00 0A 04 CODE 00 00 00 00 00;
// the following get returns 00 0A RESULT 00.. with RESULT 0 for a known code
// (0, 1, 10..16) and 1 otherwise. Another command byte is echoed with RESULT 2.
class ZotSimHid {
public:
    using Listener = std::function<void(uint8_t code, bool known)>;

    ZotSimHid() = default;
    ~ZotSimHid() { Stop(); }

    bool Start(const std::string& path, const Listener& listener, std::string& error);
    void Stop();

    // The last resolution code set, -1 when none.
    int GetLastCode() const { return mLastCode.load(); }

    // The answer a feature report `report` produces (exposed for tests).
    static void Answer(const uint8_t* report, size_t size, uint8_t answer[9], bool& isEdid, bool& known);

private:
    void Run();
    std::string Handle(const uint8_t* packet, size_t size);

    std::string mPath;
    int mListen = -1;
    ZotSimWakeFd mWake;
    std::thread mThread;
    Listener mListener;
    std::mutex mMutex; // guards mPending
    uint8_t mPending[9] = {};
    std::atomic<int> mLastCode{-1};
};

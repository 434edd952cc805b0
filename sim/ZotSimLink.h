#pragma once
#include "sim/ZotSimEventLog.h"
#include "sim/ZotSimOptions.h"
#include "sim/ZotSimTarget.h"
#include "sim/ZotSimWakeFd.h"

#include "device/protocol/ZoMsg.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

// The serial side of a simulated Tovi: a pseudo-terminal pair whose slave the
// application opens as the Tovi's serial port, and a thread that speaks the
// control protocol on the master with the project's frame buffers.
//
// Bytes the Tovi sends while no program holds the slave open are lost, as
// with the real USB serial bridge (otherwise the next program to open the port
// would first read stale reports).
//
// How it answers, beyond the obvious replies: ToviState reports run at the
// interval of the last ToviConfig (200 ms before one; 0 stops them; at least
// 20 ms) from the first message after start, Reboot or Disconnect on;
// Disconnect also releases all keys and buttons. ToviLog lines go out at or
// above the configured level. TxFrameRateFactor N pauses N microseconds (at
// most 20 ms) after each 64-byte packet. VCommData and VTermData are echoed
// back while their routing is enabled, as by a target that echoes its serial
// line. A disk insertion is accepted for sector sizes 512..4096 and the target
// then reads sector 0. Firmware updates are kept in a simulated flash and
// become the reported version after Reboot. A pulse on side pin 2 toggles the
// target's power (4 s or more turns it off); pin 3 as input reads the power
// LED (active low).
//
// Security: every received body is untrusted; each handler checks the body
// size before reading a record (fuzzed by tests/fuzz/sim_link).
class ZoMsgInBuffer;

class ZotSimLink {
public:
    ZotSimLink(ZotSimTarget& target, ZotSimEventLog& log, const ZotSimOptions& options, uint64_t uid);
    ~ZotSimLink();

    bool Start(std::string& error);
    void Stop();
    const std::string& GetSerialPath() const { return mSerialPath; }
    // Status lines ("name: value\n").
    std::string Status() const;

    // Feeds bytes the host wrote and answers every complete message (serial thread).
    void OnSerialBytes(const uint8_t* data, size_t size);
    // Serves without a pseudo-terminal (fuzzing): answers stay in the send
    // buffer until taken with TakeOutput. Not with Start.
    void OpenWithoutPort();
    size_t TakeOutput(uint8_t* out, size_t size);

    void SetFaults(double noisePercent, double dropPercent);
    void SetSilent(bool silent) { mSilent.store(silent); }
    void SetMessageVersion(ZotSimVersion version);

    // Owner hooks of the send buffer (serial thread).
    bool PrePushPacket(ZoMsg::Type type, size_t bodySize);
    void PostPushPacket(bool ok);

private:
    struct Output;
    struct SidePin {
        ZoConfig::GpioMode mode = ZoConfig::GpioMode::Disabled;
        uint8_t params[6] = {};
    };
    using Clock = std::chrono::steady_clock;

    void Run();
    void ReadInput();
    void Drain();
    void OnMessage(const ZoMsg::Head& head, const std::vector<uint8_t>& body);
    void Reset(const char* why);

    bool Push(ZoMsg::Type type, const void* body, size_t size, uint16_t replySeq = 0);
    void SendInfo();
    void SendState();
    void SendLog(uint16_t level, const char* format, ...) __attribute__((format(printf, 3, 4)));

    void OnConfig(const std::vector<uint8_t>& body);
    void OnSidePin(uint8_t pin, ZoConfig::GpioMode mode, const uint8_t params[6]);
    void OnDiskControl(const ZoMsg::Head& head, const std::vector<uint8_t>& body);
    void OnFirmware(const ZoMsg::Head& head, const std::vector<uint8_t>& body);
    uint8_t PinLevels() const;

    ZotSimTarget& mTarget;
    ZotSimEventLog& mLog;
    ZotSimOptions mOptions;
    uint64_t mUid;

    std::string mSerialPath;
    int mMaster = -1;
    ZotSimWakeFd mWake;
    std::thread mThread;
    std::unique_ptr<Output> mOut;
    std::unique_ptr<ZoMsgInBuffer> mIn;

    // Set from the control thread.
    std::atomic<bool> mSilent{false};
    std::atomic<uint32_t> mNoisePpm{0}, mDropPpm{0};
    std::atomic<uint32_t> mMessageVersion{0};

    // Serial thread only, read by Status under mStatusMutex.
    mutable std::mutex mStatusMutex;
    bool mHostOpen = false;
    bool mSession = false; // contact since the last Disconnect
    ZoMsg::Body::ToviConfig mConfig{};
    bool mConfigReceived = false;
    bool mLegacy = false;
    uint32_t mTxFactor = 0;
    SidePin mPins[4];
    bool mTargetPowerOn = true;
    uint64_t mRxMessages = 0, mTxMessages = 0, mTxDropped = 0, mTxCorrupted = 0, mInfoSent = 0,
             mStatesSent = 0;
    uint64_t mPings = 0;
    bool mDiskInserted = false;
    uint32_t mDiskSectorSize = 0, mDiskSectors = 0;
    std::string mDiskReadResult = "-";
    ZotSimVersion mFirmware;
    ZotSimVersion mStagedFirmware{};
    std::vector<uint8_t> mFlash;
    uint16_t mFlashSectors = 0;

    std::vector<uint8_t> mPending; // bytes taken from the send buffer, not yet written
    Clock::time_point mNextState;
    std::mt19937 mRandom{12345};
};

#include "sim/ZotSimLink.h"

#include "device/protocol/ZoCrc.h"
#include "device/protocol/ZoFirmwareInfo.h"
#include "device/protocol/ZoMsgInBuffer.h"
#include "device/protocol/ZoMsgOutBuffer.h"
#include "device/protocol/ZoUtils.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <termios.h>
#include <unistd.h>

using ZoMsg::Type;
namespace Body = ZoMsg::Body;

struct ZotSimLink::Output : ZoMsgOutBuffer<ZotSimLink> {
    explicit Output(ZotSimLink& owner) : ZoMsgOutBuffer<ZotSimLink>(owner) {}
};

namespace {
constexpr size_t kUsbPacket = 64;    // the Tovi writes its output in USB packets
constexpr uint32_t kMinStateMs = 20; // a smaller interval is taken as this
constexpr uint16_t kLogInfo = 2, kLogWarn = 3, kLogDebug = 1;

template <typename R> bool ReadRecord(const std::vector<uint8_t>& body, R& record, size_t offset = 0) {
    if (body.size() < offset + sizeof(R))
        return false;
    std::memcpy(&record, body.data() + offset, sizeof(R));
    return true;
}

uint32_t ToPpm(double percent) {
    return uint32_t(std::clamp(percent, 0.0, 100.0) * 10000.0 + 0.5);
}

const char* TypeName(uint16_t type) {
    switch (Type(type)) {
    case Type::Disconnect:
        return "Disconnect";
    case Type::TxFrameRateFactor:
        return "TxFrameRateFactor";
    case Type::ToviInfo:
        return "ToviInfo";
    case Type::ToviState:
        return "ToviState";
    case Type::ToviConfig:
        return "ToviConfig";
    case Type::Ping:
        return "Ping";
    case Type::ToviLog:
        return "ToviLog";
    case Type::Keyboard:
        return "Keyboard";
    case Type::Mouse:
        return "Mouse";
    case Type::PasteText:
        return "PasteText";
    case Type::KeyboardLegacyMode:
        return "KeyboardLegacyMode";
    case Type::VCommData:
        return "VCommData";
    case Type::VTermData:
        return "VTermData";
    case Type::SidePorts:
        return "SidePorts";
    case Type::SideGpio:
        return "SideGpio";
    case Type::MscDiskControl:
        return "MscDiskControl";
    case Type::DiskRead10:
        return "DiskRead10";
    case Type::DiskWrite10:
        return "DiskWrite10";
    case Type::Reboot:
        return "Reboot";
    case Type::RebootToUsbStorage:
        return "RebootToUsbStorage";
    case Type::FwUpdateBegin:
        return "FwUpdateBegin";
    case Type::EraseFlash:
        return "EraseFlash";
    case Type::WriteFlash:
        return "WriteFlash";
    case Type::GetFwCrc:
        return "GetFwCrc";
    case Type::FwUpdateFinish:
        return "FwUpdateFinish";
    }
    return "unknown";
}
} // namespace

ZotSimLink::ZotSimLink(ZotSimTarget& target, ZotSimEventLog& log, const ZotSimOptions& options, uint64_t uid)
    : mTarget(target), mLog(log), mOptions(options), mUid(uid), mOut(std::make_unique<Output>(*this)),
      mIn(std::make_unique<ZoMsgInBuffer>()), mFirmware(options.firmwareVersion) {
    SetFaults(options.noisePercent, options.dropPercent);
    mSilent.store(options.silent);
    SetMessageVersion(options.messageVersion);
    mRandom.seed(uint32_t(uid ^ (uid >> 32)));
}

ZotSimLink::~ZotSimLink() {
    Stop();
}

void ZotSimLink::SetFaults(double noisePercent, double dropPercent) {
    mNoisePpm.store(ToPpm(noisePercent));
    mDropPpm.store(ToPpm(dropPercent));
}

void ZotSimLink::SetMessageVersion(ZotSimVersion version) {
    mMessageVersion.store((uint32_t(version.major) << 16) | version.minor);
}

bool ZotSimLink::Start(std::string& error) {
    if (!mWake.IsValid()) {
        error = std::string("cannot create an eventfd: ") + strerror(errno);
        return false;
    }
    mMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (mMaster < 0 || grantpt(mMaster) != 0 || unlockpt(mMaster) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + strerror(errno);
        Stop();
        return false;
    }
    char name[128];
    if (ptsname_r(mMaster, name, sizeof name) != 0) {
        error = std::string("ptsname: ") + strerror(errno);
        Stop();
        return false;
    }
    mSerialPath = name;
    // Raw mode on the slave (no echo, no line editing), then close it: from
    // then on the master reports a hang-up while no program holds the slave.
    int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        error = "cannot open " + mSerialPath + ": " + strerror(errno);
        Stop();
        return false;
    }
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);
    close(slave);
    mWake.Drain(); // a wake left from an earlier Stop
    mNextState = Clock::now();
    mThread = std::thread([this] { Run(); });
    return true;
}

void ZotSimLink::Stop() {
    if (mThread.joinable()) {
        mWake.Signal();
        mThread.join();
    }
    if (mMaster >= 0)
        close(mMaster); // the slave path disappears once the application closes it too
    mMaster = -1;
}

bool ZotSimLink::PrePushPacket(ZoMsg::Type, size_t) {
    if (!mHostOpen || mSilent.load())
        return false;
    const uint32_t drop = mDropPpm.load();
    if (drop != 0 && mRandom() % 1000000U < drop) {
        ++mTxDropped;
        return false;
    }
    return true;
}

void ZotSimLink::PostPushPacket(bool ok) {
    if (ok)
        ++mTxMessages;
}

bool ZotSimLink::Push(ZoMsg::Type type, const void* body, size_t size, uint16_t replySeq) {
    uint16_t seq = replySeq;
    std::lock_guard<std::mutex> lock(mStatusMutex);
    return mOut->PushPacketWithBuffer(type, replySeq != 0 ? &seq : nullptr, size, body);
}

void ZotSimLink::SendInfo() {
    Body::ToviInfo info;
    const uint32_t version = mMessageVersion.load();
    info.messageVersionMajor = uint16_t(version >> 16);
    info.messageVersionMinor = uint16_t(version);
    info.uid = mUid;
    std::snprintf(info.boardName, sizeof info.boardName, "%s", mOptions.board.c_str());
    info.bootVersionMajor = mOptions.bootVersion.major;
    info.bootVersionMinor = mOptions.bootVersion.minor;
    std::snprintf(info.bootLabel, sizeof info.bootLabel, "%s", mOptions.bootLabel.c_str());
    info.firmwareVersionMajor = mFirmware.major;
    info.firmwareVersionMinor = mFirmware.minor;
    std::snprintf(info.firmwareLabel, sizeof info.firmwareLabel, "%s", mOptions.firmwareLabel.c_str());
    info.sku = mOptions.sku;
    info.features = mOptions.features;
    if (Push(Type::ToviInfo, &info, sizeof info))
        ++mInfoSent;
    mLog.Add("tx ToviInfo v%u.%u, %zu bytes", info.messageVersionMajor, info.messageVersionMinor,
             sizeof info);
}

uint8_t ZotSimLink::PinLevels() const {
    uint8_t levels = 0;
    for (int p = 0; p < 4; ++p) {
        if (mPins[p].mode != ZoConfig::GpioMode::Input)
            continue;
        bool high = mPins[p].params[1] == 0; // pull-down alone reads low, otherwise the line idles high
        if (p == 3)
            high = !mTargetPowerOn; // the target's power LED, active low
        levels |= uint8_t((1U << (2 * p + 1)) | (high ? 1U << (2 * p) : 0U));
    }
    return levels;
}

void ZotSimLink::SendState() {
    Body::ToviState state;
    state.states = mLegacy ? uint64_t(Body::ToviState::kKeyboardLegacyMode) : 0;
    state.pinLevels = PinLevels();
    state.temperature = mOptions.temperature;
    if (Push(Type::ToviState, &state, sizeof state))
        ++mStatesSent;
}

void ZotSimLink::SendLog(uint16_t level, const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    mLog.Add("tovi log (%u): %s", level, text);
    if (level < mConfig.logLevel)
        return;
    uint8_t body[2 + sizeof text];
    std::memcpy(body, &level, 2);
    const size_t len = std::strlen(text);
    std::memcpy(body + 2, text, len + 1);
    Push(Type::ToviLog, body, 2 + len + 1);
}

void ZotSimLink::Reset(const char* why) {
    mTarget.ReleaseAll();
    mSession = false;
    mLog.Add("%s: keys and buttons released, reports paused until the next message", why);
}

void ZotSimLink::OnSerialBytes(const uint8_t* data, size_t size) {
    mIn->Push(data, size);
    ZoMsg::Head head;
    std::vector<uint8_t> body;
    while (mIn->PopMessage(head, body))
        OnMessage(head, body);
}

void ZotSimLink::OpenWithoutPort() {
    std::lock_guard<std::mutex> lock(mStatusMutex);
    mHostOpen = true;
}

size_t ZotSimLink::TakeOutput(uint8_t* out, size_t size) {
    return mOut->TakeBytes(out, size);
}

void ZotSimLink::Run() {
    for (;;) {
        // Is a program holding the slave open?
        pollfd probe{mMaster, POLLIN, 0};
        poll(&probe, 1, 0);
        const bool open = (probe.revents & POLLHUP) == 0;
        if (open != mHostOpen) {
            {
                std::lock_guard<std::mutex> lock(mStatusMutex);
                mHostOpen = open;
                if (!open)
                    mOut->Clear();
            }
            mPending.clear();
            mLog.Add(open ? "host opened the serial port" : "host closed the serial port");
        }
        int timeout = 10;
        if (open) {
            const auto now = Clock::now();
            if (mSession && mConfig.stateReportInterval != 0 && now >= mNextState) {
                SendState();
                mNextState =
                    now + std::chrono::milliseconds(std::max(mConfig.stateReportInterval, kMinStateMs));
            }
            timeout = 50;
            if (mSession && mConfig.stateReportInterval != 0)
                timeout = int(std::clamp<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(mNextState - now).count() + 1, 1,
                    50));
        }
        const bool want = !mPending.empty() || mOut->GetUsed() != 0;
        pollfd fds[2] = {{mWake.Fd(), POLLIN, 0},
                         {mMaster, short(open ? (POLLIN | (want ? POLLOUT : 0)) : 0), 0}};
        if (want && open)
            timeout = std::min(timeout, 5);
        if (poll(fds, open ? 2 : 1, timeout) < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN)
            break;
        if (!open)
            continue;
        if (fds[1].revents & POLLIN) {
            uint8_t buf[4096];
            const ssize_t n = read(mMaster, buf, sizeof buf);
            if (n > 0)
                OnSerialBytes(buf, size_t(n));
        }
        Drain();
    }
}

void ZotSimLink::Drain() {
    for (;;) {
        if (mPending.empty()) {
            uint8_t packet[kUsbPacket];
            const size_t n = mOut->TakeBytes(packet, sizeof packet);
            if (n == 0)
                return;
            mPending.assign(packet, packet + n);
            const uint32_t noise = mNoisePpm.load();
            if (noise != 0) {
                for (uint8_t& b : mPending) {
                    if (mRandom() % 1000000U < noise) {
                        b ^= uint8_t(1 + mRandom() % 255);
                        ++mTxCorrupted;
                    }
                }
            }
        }
        const ssize_t n = write(mMaster, mPending.data(), mPending.size());
        if (n < 0) {
            if (errno != EAGAIN && errno != EINTR)
                mPending.clear(); // the host went away; the next loop notices
            return;
        }
        mPending.erase(mPending.begin(), mPending.begin() + n);
        if (!mPending.empty())
            return;
        if (mTxFactor != 0) // the host asked for slower output: a pause after each packet
            usleep(std::min<uint32_t>(mTxFactor, 20000));
    }
}

void ZotSimLink::OnMessage(const ZoMsg::Head& head, const std::vector<uint8_t>& body) {
    ++mRxMessages;
    if (mSilent.load()) {
        mLog.Add("rx %s (%u), %zu bytes, seq %u: ignored (silent)", TypeName(head.type), head.type,
                 body.size(), head.seq);
        return;
    }
    const Type type = Type(head.type);
    const bool disconnect = type == Type::Disconnect;
    if (!disconnect && !mSession) {
        mSession = true;
        mNextState = Clock::now();
    }
    if (type != Type::Keyboard && type != Type::Mouse && type != Type::Ping)
        mLog.Add("rx %s (%u), %zu bytes, seq %u", TypeName(head.type), head.type, body.size(), head.seq);
    if (mConfig.logCommInput)
        SendLog(kLogInfo, "comm in: type %u, %zu bytes", head.type, body.size());

    switch (type) {
    case Type::Disconnect:
        if (mSession)
            Reset("disconnect");
        return;
    case Type::TxFrameRateFactor: {
        uint32_t factor = 0;
        if (!ReadRecord(body, factor))
            break;
        std::lock_guard<std::mutex> lock(mStatusMutex);
        mTxFactor = factor;
        return;
    }
    case Type::ToviConfig:
        if (body.size() < sizeof(Body::ToviConfig))
            break;
        OnConfig(body);
        return;
    case Type::Ping: {
        Body::PingType ping;
        if (!ReadRecord(body, ping))
            break;
        ++mPings;
        mLog.Add("rx Ping kind %u, seq %u", ping.kind, head.seq);
        if (ping.kind == Body::PingType::kRequestInfo)
            SendInfo();
        else
            Push(Type::Ping, body.data(), body.size());
        return;
    }
    case Type::ToviLog: // the debug window's self test
        SendLog(kLogInfo, "self test: link ok, %llu messages received",
                static_cast<unsigned long long>(mRxMessages));
        SendLog(kLogWarn, "self test: this is a warning line");
        return;
    case Type::Keyboard: {
        Body::Keyboard k;
        if (!ReadRecord(body, k))
            break;
        mTarget.ApplyKeyboard(reinterpret_cast<const uint8_t*>(&k));
        mLog.Add("rx Keyboard %02X %02X %02X %02X %02X %02X %02X", k.modifiers, k.keys[0], k.keys[1],
                 k.keys[2], k.keys[3], k.keys[4], k.keys[5]);
        if (mConfig.logKeyboard)
            SendLog(kLogInfo, "keyboard: modifiers %02X, keys %02X %02X %02X %02X %02X %02X", k.modifiers,
                    k.keys[0], k.keys[1], k.keys[2], k.keys[3], k.keys[4], k.keys[5]);
        return;
    }
    case Type::Mouse: {
        Body::Mouse m;
        if (!ReadRecord(body, m))
            break;
        mTarget.ApplyMouse(reinterpret_cast<const uint8_t*>(&m));
        if (mConfig.logMouse)
            SendLog(kLogInfo, "mouse: buttons %02X, x %d, y %d, wheel %d, pan %d", m.buttons, m.x, m.y,
                    m.wheel, m.hWheel);
        return;
    }
    case Type::PasteText:
        mTarget.TypeText(std::string(body.begin(), body.end()));
        SendLog(kLogDebug, "typed %zu bytes of pasted text", body.size());
        return;
    case Type::KeyboardLegacyMode: {
        uint8_t on = 0;
        if (!ReadRecord(body, on))
            break;
        std::lock_guard<std::mutex> lock(mStatusMutex);
        mLegacy = on != 0;
        return;
    }
    case Type::VCommData: {
        Body::VCommData data;
        if (!ReadRecord(body, data) || data.count < 0 || size_t(data.count) > Body::VCommData::kDataSize)
            break;
        // The target's serial line behind the Tovi echoes what it receives.
        if (mConfig.features.vCommMode != ZoConfig::VPortMode::Disabled && data.count > 0)
            Push(Type::VCommData, data.data, size_t(data.count));
        return;
    }
    case Type::VTermData:
        if (mConfig.features.vTermMode != ZoConfig::VPortMode::Disabled && !body.empty())
            Push(Type::VTermData, body.data(), body.size());
        return;
    case Type::SideGpio: {
        Body::ToviSideGpio gpio;
        if (!ReadRecord(body, gpio) || gpio.pin > 3)
            break;
        OnSidePin(gpio.pin, gpio.mode, gpio.params);
        return;
    }
    case Type::SidePorts: {
        Body::ToviSidePorts ports;
        if (!ReadRecord(body, ports))
            break;
        for (uint8_t p = 0; p < 4; ++p)
            OnSidePin(p, ports.pins[p].mode, ports.pins[p].params);
        return;
    }
    case Type::MscDiskControl:
    case Type::DiskRead10:
    case Type::DiskWrite10:
        OnDiskControl(head, body);
        return;
    case Type::Reboot: {
        Push(Type::Reboot, nullptr, 0);
        std::lock_guard<std::mutex> lock(mStatusMutex);
        if (mStagedFirmware.major != 0 || mStagedFirmware.minor != 0) {
            mFirmware = mStagedFirmware;
            mStagedFirmware = {};
        }
        mConfig = Body::ToviConfig{};
        mLegacy = false;
        mDiskInserted = false;
        mLog.Add("reboot: firmware %u.%u", mFirmware.major, mFirmware.minor);
        mTarget.ReleaseAll();
        mSession = false;
        return;
    }
    case Type::RebootToUsbStorage:
        SendLog(kLogWarn, "reboot to USB storage is not simulated");
        return;
    case Type::FwUpdateBegin:
    case Type::EraseFlash:
    case Type::WriteFlash:
    case Type::GetFwCrc:
    case Type::FwUpdateFinish:
        OnFirmware(head, body);
        return;
    case Type::ToviInfo:
    case Type::ToviState:
        break;
    }
    mLog.Add("rx %s (%u): unexpected or malformed, %zu bytes: %s", TypeName(head.type), head.type,
             body.size(), ZoUtils::BinaryToHexString(body.data(), std::min<size_t>(body.size(), 16)).c_str());
    SendLog(kLogWarn, "discarded message type %u with %zu bytes", head.type, body.size());
}

void ZotSimLink::OnConfig(const std::vector<uint8_t>& body) {
    Body::ToviConfig config;
    ReadRecord(body, config);
    {
        std::lock_guard<std::mutex> lock(mStatusMutex);
        mConfig = config;
        mConfigReceived = true;
        mLegacy = config.forceKeyboardInLegacyMode != 0;
    }
    mNextState = Clock::now();
    mLog.Add("config: log level %u, state interval %u ms, vcomm %u, vterm %u, features 0x%X, legacy %u",
             config.logLevel, config.stateReportInterval, unsigned(config.features.vCommMode),
             unsigned(config.features.vTermMode), config.features.enabledList,
             config.forceKeyboardInLegacyMode);
    SendLog(kLogInfo, "configuration applied, state report every %u ms", config.stateReportInterval);
}

void ZotSimLink::OnSidePin(uint8_t pin, ZoConfig::GpioMode mode, const uint8_t params[6]) {
    const SidePin before = mPins[pin];
    {
        std::lock_guard<std::mutex> lock(mStatusMutex);
        mPins[pin].mode = mode;
        std::memcpy(mPins[pin].params, params, 6);
    }
    if (mode == ZoConfig::GpioMode::Pulse) {
        uint32_t width = 0;
        std::memcpy(&width, params + 1, 4);
        // A pulse leaves the pin at its idle level again.
        std::lock_guard<std::mutex> lock(mStatusMutex);
        mPins[pin] = before.mode == ZoConfig::GpioMode::Pulse ? SidePin{} : before;
        if (pin == 2) { // the target's power switch
            mTargetPowerOn = width >= 4000 ? false : !mTargetPowerOn;
            mLog.Add("power switch pressed %u ms: target power %s", width, mTargetPowerOn ? "on" : "off");
        } else if (pin == 0) {
            mLog.Add("reset switch pressed %u ms", width);
        }
        return;
    }
    mLog.Add("side pin %u: mode %u, params %02X %02X %02X %02X %02X %02X", pin, unsigned(mode), params[0],
             params[1], params[2], params[3], params[4], params[5]);
}

void ZotSimLink::OnDiskControl(const ZoMsg::Head& head, const std::vector<uint8_t>& body) {
    const Type type = Type(head.type);
    if (type == Type::MscDiskControl) {
        Body::MscDisk::Command cmd;
        uint8_t result = 0;
        if (ReadRecord(body, cmd) && cmd.command == Body::MscDisk::Command::kInserted) {
            Body::MscDisk::Info info;
            if (ReadRecord(body, info, sizeof cmd) && info.sectorCount != 0 &&
                (info.bytesPerSector == 512 || info.bytesPerSector == 1024 || info.bytesPerSector == 2048 ||
                 info.bytesPerSector == 4096)) {
                std::lock_guard<std::mutex> lock(mStatusMutex);
                mDiskInserted = true;
                mDiskSectorSize = info.bytesPerSector;
                mDiskSectors = info.sectorCount;
                mDiskReadResult = "pending";
                result = 1;
            }
        } else if (cmd.command == Body::MscDisk::Command::kEjected && body.size() >= sizeof cmd) {
            std::lock_guard<std::mutex> lock(mStatusMutex);
            mDiskInserted = false;
            result = 1;
        }
        Push(Type::MscDiskControl, &result, 1, head.seq);
        if (result != 0 && mDiskInserted) {
            // The target mounts the drive: it reads the first sector.
            const Body::DiskAccess read{0, mDiskSectorSize};
            Push(Type::DiskRead10, &read, sizeof read);
        }
        return;
    }
    int32_t result = 0;
    if (!ReadRecord(body, result)) {
        mLog.Add("rx %s reply without a result", TypeName(head.type));
        return;
    }
    std::lock_guard<std::mutex> lock(mStatusMutex);
    if (type == Type::DiskRead10) {
        const bool boot = body.size() >= 4 + 512 && body[4 + 510] == 0x55 && body[4 + 511] == 0xAA;
        mDiskReadResult = "result " + std::to_string(result) + (boot ? ", boot signature present" : "");
    } else {
        mDiskReadResult = "write result " + std::to_string(result);
    }
}

void ZotSimLink::OnFirmware(const ZoMsg::Head& head, const std::vector<uint8_t>& body) {
    switch (Type(head.type)) {
    case Type::FwUpdateBegin: {
        uint32_t length = 0;
        if (!ReadRecord(body, length) || length == 0 || length % 256 != 0 || length > (4U << 20)) {
            SendLog(kLogWarn, "firmware update refused: image length %u", length);
            return;
        }
        mFlash.assign(length, 0xFF);
        mFlashSectors = uint16_t((length + 4095) / 4096);
        Push(Type::FwUpdateBegin, &mFlashSectors, 2);
        return;
    }
    case Type::EraseFlash: {
        uint16_t sector = 0;
        if (ReadRecord(body, sector) && sector < mFlashSectors)
            Push(Type::EraseFlash, &sector, 2);
        return;
    }
    case Type::WriteFlash: {
        Body::FlashData data;
        if (!ReadRecord(body, data) || body.size() != sizeof data + 256 ||
            size_t(data.blockIndex) * 256 + 256 > mFlash.size())
            return;
        const uint8_t* block = body.data() + sizeof data;
        if (ZoCrc::Crc32(block, 256) != data.crc32) {
            SendLog(kLogWarn, "firmware block %u: CRC mismatch", data.blockIndex);
            return; // unanswered: the application sends it again
        }
        std::memcpy(mFlash.data() + size_t(data.blockIndex) * 256, block, 256);
        Push(Type::WriteFlash, &data.blockIndex, 2);
        return;
    }
    case Type::GetFwCrc: {
        uint32_t length = 0;
        if (!ReadRecord(body, length) || length > mFlash.size())
            return;
        const uint32_t crc = ZoCrc::Crc32(mFlash.data(), length);
        Push(Type::GetFwCrc, &crc, 4);
        return;
    }
    case Type::FwUpdateFinish: {
        ZoFirmwareInfo header;
        if (!ReadRecord(body, header))
            return;
        std::lock_guard<std::mutex> lock(mStatusMutex);
        uint16_t version[2];
        std::memcpy(version, body.data() + 20, 4);
        mStagedFirmware = {version[0], version[1]};
        const uint8_t ack = 1;
        mOut->PushPacketWithBuffer(Type::FwUpdateFinish, nullptr, 1, &ack);
        mLog.Add("firmware %u.%u written, active after reboot", version[0], version[1]);
        return;
    }
    default:
        return;
    }
}

std::string ZotSimLink::Status() const {
    std::lock_guard<std::mutex> lock(mStatusMutex);
    std::ostringstream s;
    const uint32_t version = mMessageVersion.load();
    s << "host port open: " << (mHostOpen ? "yes" : "no") << "\n";
    s << "message version: " << (version >> 16) << "." << (version & 0xFFFF) << "\n";
    s << "firmware: " << mFirmware.major << "." << mFirmware.minor << "\n";
    s << "messages: received " << mRxMessages << ", sent " << mTxMessages << ", dropped " << mTxDropped
      << ", bytes corrupted " << mTxCorrupted << "\n";
    s << "pings: " << mPings << ", info reports " << mInfoSent << ", state reports " << mStatesSent << "\n";
    s << "config: " << (mConfigReceived ? "received" : "default") << ", log level " << mConfig.logLevel
      << ", state interval " << mConfig.stateReportInterval << " ms, vcomm "
      << unsigned(mConfig.features.vCommMode) << ", vterm " << unsigned(mConfig.features.vTermMode) << "\n";
    s << "keyboard legacy mode: " << (mLegacy ? "on" : "off") << "\n";
    s << "tx frame rate factor: " << mTxFactor << "\n";
    s << "faults: noise " << mNoisePpm.load() / 10000.0 << "%, drop " << mDropPpm.load() / 10000.0
      << "%, silent " << (mSilent.load() ? "on" : "off") << "\n";
    s << "target power: " << (mTargetPowerOn ? "on" : "off") << "\n";
    s << "disk: "
      << (mDiskInserted ? "inserted, " + std::to_string(mDiskSectors) + " x " +
                              std::to_string(mDiskSectorSize) + " bytes, " + mDiskReadResult
                        : std::string("none"))
      << "\n";
    return s.str();
}

#include "device/transport/ZocToviUtils.h"

#include "app/ZocLog.h"
#include "app/ZocSettings.h"
#include "device/protocol/ZoMsg.h"
#include "device/protocol/ZoMsgInBuffer.h"
#include "device/transport/ZotSerialPort.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

namespace {
constexpr int kProbeIterations = 400;
constexpr int kProbeResendEvery = 100;
constexpr uint32_t kProbeStepMs = 5;
constexpr size_t kProbeBufferSize = 1000;
constexpr size_t kUidOffset = 4;
} // namespace

uint32_t ZocToviUtils::HashUid(const uint8_t uid[8]) {
    uint32_t hash = 0x811C9DC5u;
    for (int i = 0; i < 8; ++i) {
        hash *= 16777619u;
        hash ^= uid[i];
    }
    return hash;
}

uint32_t ZocToviUtils::GetToviIdHash(const std::string& path) {
    ZotSerialPort port(path.c_str(), int(ZocSettings::Instance().device.comm.baudRate), 8, 'N', 1);
    port.SetFlowControl(2);
    if (int error = port.Open(); error != 0) {
        ZocLog::CommPort().Info("PortDetection: Failed to open port %s, error %ld", path.c_str(),
                                long(error));
        return 0;
    }

    // A ping of kind 1 asks the Tovi for its information report.
    uint8_t request[ZoMsg::kFrameOverhead + 2];
    ZoMsg::Head head;
    head.type = ZoMsg::ToU16(ZoMsg::Type::Ping);
    head.size = 2;
    std::memcpy(request, ZoMsg::kPreambleBytes, 4);
    std::memcpy(request + 4, &head, sizeof(head));
    request[4 + sizeof(head)] = 1;
    request[5 + sizeof(head)] = 0;
    std::memcpy(request + 6 + sizeof(head), ZoMsg::kPostambleBytes, 4);

    ZoMsgInBuffer in(kProbeBufferSize);
    ZoMsg::Head replyHead;
    std::vector<uint8_t> body;
    for (int i = 0; i < kProbeIterations; ++i) {
        if (i % kProbeResendEvery == 0) {
            if (port.Write(request, int(sizeof(request))) != int(sizeof(request))) {
                ZocLog::CommPort().Error("Failed to send request for tovi information");
                return 0;
            }
            ZocLog::CommPort().Debug("Sent request for tovi information");
        }
        SDL_Delay(kProbeStepMs);
        // Everything waiting is taken at once; one byte per step would make
        // a 131-byte report take longer than the probe lasts.
        uint8_t chunk[256];
        int got = port.Read(chunk, int(sizeof(chunk)));
        if (got > 0)
            in.Push(chunk, size_t(got));
        while (in.PopMessage(replyHead, body)) {
            if (replyHead.type != ZoMsg::ToU16(ZoMsg::Type::ToviInfo))
                continue;
            if (body.size() != sizeof(ZoMsg::Body::ToviInfo))
                ZocLog::CommPort().Debug("PortDetection: Sizes mismatch for ToviInfo, continue...");
            uint8_t uid[8] = {};
            if (body.size() > kUidOffset)
                std::memcpy(uid, body.data() + kUidOffset, std::min<size_t>(8, body.size() - kUidOffset));
            return HashUid(uid);
        }
    }
    ZocLog::CommPort().Error("Timed out (%llu ms) while waiting Tovi's response", 2000ull);
    return 0;
}

uint32_t ZocToviUtils::GetToviIdHashSafe(const std::string& path) {
    ZocToviDeviceInfo::LockCommPortToOpen();
    uint32_t hash = GetToviIdHash(path);
    ZocToviDeviceInfo::UnLockCommPort();
    return hash;
}

bool ZocToviUtils::AreListsEqual(const std::vector<ZocToviDeviceInfo::CommInfo>& a,
                                 const std::vector<ZocToviDeviceInfo::CommInfo>& b) {
    if (a.size() != b.size())
        return false;
    for (const auto& item : a)
        if (std::find(b.begin(), b.end(), item) == b.end())
            return false;
    return true;
}

bool ZocToviUtils::AreListsEqual(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    if (a.size() != b.size())
        return false;
    for (const auto& item : a)
        if (std::find(b.begin(), b.end(), item) == b.end())
            return false;
    return true;
}

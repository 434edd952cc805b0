#include "app/ZocMainTimer.h"

#include "app/ZocGlobals.h"
#include "app/ZocLog.h"
#include "app/ZocSettings.h"
#include "device/protocol/ZocToviMsg.h"
#include "device/transport/ZocCommPortI.h"

#include <SDL.h>

namespace {
constexpr uint32_t kFastInterval = 200;
constexpr uint32_t kSlowInterval = 1000;
constexpr uint64_t kInfoTimeoutMs = 2000;
constexpr uint64_t kLongInfoTimeoutMs = 10000;
constexpr uint64_t kQuietBeforePingMs = 1000;
constexpr uint32_t kMaxTxFrameFactor = 1000;
constexpr int kJiggleMoves = 20;

int s_direction = 1;
bool s_bDir = true;
int8_t s_positions[kJiggleMoves][2];
int s_idx = 0;

void PushPing(uint16_t kind) {
    ZoMsg::Body::PingType ping;
    ping.kind = kind;
    ZocToviMsg::PushPacket(ZoMsg::Type::Ping, ping);
}

void PushMouseMove(int dx, int dy) {
    ZoMsg::Body::Mouse mouse;
    mouse.x = int8_t(dx);
    mouse.y = int8_t(dy);
    ZocToviMsg::PushPacket(ZoMsg::Type::Mouse, mouse);
}
} // namespace

bool ZocMainTimer::Start() {
    return mTimer.Start("Main Timer", kFastInterval, &ZocMainTimer::OnTimerEvent);
}

void ZocMainTimer::Stop() {
    mTimer.Stop();
    mTimer.WaitCallbackEnd(500);
}

void ZocMainTimer::ResetJiggle() {
    s_direction = 1;
    s_bDir = true;
    s_idx = 0;
}

uint32_t ZocMainTimer::OnTimerEvent() {
    if (!ZocGlobals::toviConnected)
        return kFastInterval;
    auto& settings = ZocSettings::Instance();
    uint32_t next;
    if (ZocGlobals::toviInfo.uid != 0) {
        settings.device.comm.toviTxFrameRateLastKnownGoodFactor = ZocGlobals::txFrameFactor;
        uint64_t now = ZocToviMsg::NowTicks();
        uint64_t lastSent = ZocToviMsg::GetOutput().GetLastActiveTicks();
        if (!ZocGlobals::doNotPing && now - lastSent >= kQuietBeforePingMs)
            PushPing(ZoMsg::Body::PingType::kKeepAlive);
        next = kSlowInterval;
    } else {
        next = kFastInterval;
        PushPing(ZoMsg::Body::PingType::kRequestInfo);
        uint64_t now = ZocToviMsg::NowTicks();
        uint64_t waited = now - ZocGlobals::infoRequestTicks;
        ZocLog::CommPort().Debug("Waiting Tovi info response from Tovi, waited %llu ms",
                                 (unsigned long long)waited);
        uint64_t limit = ZocGlobals::longInfoWait ? kLongInfoTimeoutMs : kInfoTimeoutMs;
        if (waited > limit) {
            ZocGlobals::infoRequestTicks = now;
            ZocGlobals::longInfoWait = false;
            if (!settings.general.commPort.reconnectIfToviInfoTimeout) {
                ZocLog::CommPort().Warn("Timed out (%llu ms) while getting information from tovi.",
                                        (unsigned long long)waited);
            } else {
                int messages = int(ZocToviMsg::GetInput().GetMessagesPopped());
                int preambles = int(ZocToviMsg::GetInput().GetPreamblesFound());
                uint32_t factor = ZocGlobals::txFrameFactor;
                ZocLog::CommPort().Warn(
                    "Timed out (%llu ms) while getting information from tovi.\n"
                    "        message received: %d, preamble received: %d, TxFrameFactor %u.",
                    (unsigned long long)waited, messages, preambles, factor);
                if (messages > 0 && messages < preambles) {
                    // Frames start but do not all come through whole: slow the Tovi down.
                    if (factor <= kMaxTxFrameFactor) {
                        uint32_t good = settings.device.comm.toviTxFrameRateLastKnownGoodFactor;
                        if (factor != 0) {
                            factor += 250;
                            ZocLog::CommPort().Info("Increase TxFrameFactor to %u", factor);
                        } else if (good != 0) {
                            factor = good;
                            ZocLog::CommPort().Info("Set TxFrameFactor to last known good value of %u",
                                                    factor);
                        } else {
                            factor = 500;
                            ZocLog::CommPort().Info("Set TxFrameFactor to %u", factor);
                        }
                        ZocGlobals::txFrameFactor = factor;
                        ZocToviMsg::PushPacket(ZoMsg::Type::TxFrameRateFactor, factor);
                    }
                } else {
                    ZocLog::CommPort().Info("reconnect");
                    if (ZocCommPortI* port = ZocToviMsg::GetCommPort()) {
                        ZocCaptureResponse response = port->ReOpen();
                        if (!response.success)
                            ZocLog::CommPort().Warn("Failed to re-connect, message: %s",
                                                    response.message.c_str());
                    }
                }
            }
        }
    }
    if (ZocGlobals::mouseJiggleOn)
        JiggleMouse();
    return next;
}

void ZocMainTimer::JiggleMouse() {
    const auto& jiggle = ZocSettings::Instance().general.mouseJiggle;
    // Moves are signed bytes and twice the step must fit; a step out of
    // range in a hand-edited settings file is clamped rather than trusted.
    int step = jiggle.step < 1 ? 1 : jiggle.step > 63 ? 63 : jiggle.step;
    switch (jiggle.mode) {
    case 0:
        s_direction = -s_direction;
        PushMouseMove(s_direction * step, 0);
        break;
    case 1: {
        if (s_bDir) {
            uint64_t r = SDL_GetPerformanceCounter() % uint64_t(4 * step + 1);
            int v = int(r) - 2 * step;
            int dx = (r % 2 == 0) ? v : 0;
            int dy = (r % 2 == 0) ? 0 : v;
            s_positions[s_idx][0] = int8_t(dx);
            s_positions[s_idx][1] = int8_t(dy);
            PushMouseMove(dx, dy);
        } else {
            PushMouseMove(-s_positions[s_idx][0], -s_positions[s_idx][1]);
        }
        if (++s_idx >= kJiggleMoves) {
            s_idx = 0;
            s_bDir = !s_bDir;
        }
        break;
    }
    default:
        break;
    }
}

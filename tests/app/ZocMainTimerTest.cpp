#include "app/ZocMainTimer.h"
#include "app/ZocGlobals.h"
#include "app/ZocSettings.h"
#include "device/protocol/FakeCommPort.h"
#include "device/protocol/FrameBytes.h"
#include "device/protocol/ZoMsgInBuffer.h"
#include "device/protocol/ZocToviMsg.h"

#include <gtest/gtest.h>

#include <thread>

namespace {
using Bytes = std::vector<uint8_t>;

Bytes Frame(uint16_t type, const Bytes& body) {
    return FrameBytes::MakeFrame(type, 0, body);
}

class CountingPort : public FakeCommPort {
public:
    ZocCaptureResponse ReOpen() override {
        ++reopens;
        return ZocCaptureResponse::Fail("Open", "gone");
    }
    std::atomic<int> reopens{0};
};

// The supervision tick against the real channel with an in-memory port and
// a pinned clock.
class MainTimerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZocToviMsg::SetCommPort(&port);
        ZocToviMsg::Initialize();
        ZocToviMsg::GetInput().Clear();
        ZocToviMsg::GetOutput().Clear();
        now = 100000;
        ZocToviMsg::ticksForTesting = now;
        ZocGlobals::toviConnected = true;
        ZocGlobals::toviInfo = {};
        ZocGlobals::infoRequestTicks = now;
        ZocGlobals::txFrameFactor = 0;
        ZocGlobals::longInfoWait = false;
        ZocGlobals::mouseJiggleOn = false;
        saved = ZocSettings::Instance();
        ZocMainTimer::ResetJiggle();
    }
    void TearDown() override {
        ZocToviMsg::Shutdown();
        ZocToviMsg::WaitShutdown();
        ZocToviMsg::SetCommPort(nullptr);
        ZocToviMsg::ticksForTesting = 0;
        ZocGlobals::toviConnected = false;
        ZocGlobals::toviInfo = {};
        ZocGlobals::mouseJiggleOn = false;
        ZocSettings::Instance() = saved;
    }
    void Advance(uint64_t ms) {
        now += ms;
        ZocToviMsg::ticksForTesting = now;
    }
    // Messages the channel wrote, after its output thread drained the ring.
    std::vector<std::pair<uint16_t, Bytes>> Sent() {
        for (int i = 0; i < 200 && ZocToviMsg::GetOutput().GetUsed() > 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ZoMsgInBuffer parser;
        Bytes written = port.Written();
        parser.Push(written.data(), written.size());
        std::vector<std::pair<uint16_t, Bytes>> messages;
        ZoMsg::Head head;
        Bytes body;
        while (parser.PopMessage(head, body))
            messages.emplace_back(head.type, body);
        port.Reset();
        return messages;
    }
    CountingPort port;
    uint64_t now = 0;
    ZocSettings saved;
};
} // namespace

TEST_F(MainTimerTest, IdleWithoutTovi) {
    ZocGlobals::toviConnected = false;
    EXPECT_EQ(ZocMainTimer::OnTimerEvent(), 200u);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(MainTimerTest, RequestsInfoAndWarnsAtEachTimeoutWithoutReconnect) {
    ZocSettings::Instance().general.commPort.reconnectIfToviInfoTimeout = false;
    int timeouts = 0;
    for (int tick = 0; tick < 25; ++tick) { // 5 s of ticks
        uint64_t before = ZocGlobals::infoRequestTicks;
        EXPECT_EQ(ZocMainTimer::OnTimerEvent(), 200u);
        if (ZocGlobals::infoRequestTicks != before)
            ++timeouts;
        Advance(200);
    }
    EXPECT_EQ(timeouts, 2) << "the wait restarts at each timeout";
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 25u);
    for (auto& [type, body] : sent) {
        EXPECT_EQ(type, ZoMsg::ToU16(ZoMsg::Type::Ping));
        EXPECT_EQ(body, (Bytes{1, 0})) << "kind 1 asks for the information report";
    }
    EXPECT_EQ(port.reopens, 0);
}

TEST_F(MainTimerTest, LongWaitAfterFirmwareUpdateOnlyOnce) {
    ZocSettings::Instance().general.commPort.reconnectIfToviInfoTimeout = false;
    ZocGlobals::longInfoWait = true;
    Advance(5000);
    ZocMainTimer::OnTimerEvent();
    EXPECT_EQ(ZocGlobals::infoRequestTicks, now - 5000) << "no timeout before 10 s";
    Advance(5001);
    ZocMainTimer::OnTimerEvent();
    EXPECT_EQ(ZocGlobals::infoRequestTicks, now);
    EXPECT_FALSE(ZocGlobals::longInfoWait);
}

TEST_F(MainTimerTest, PartialFramingRaisesTheTransmitFactorUpToItsLimit) {
    ZocSettings::Instance().general.commPort.reconnectIfToviInfoTimeout = true;
    ZocSettings::Instance().device.comm.toviTxFrameRateLastKnownGoodFactor = 0;
    // Three whole messages and two frames that start but break: m = 3, p = 5.
    Bytes damaged = Frame(101, {1, 2, 3});
    damaged[14] ^= 0xFF; // body byte: bad CRC
    for (const Bytes& bytes : {Frame(999, {}), damaged, Frame(999, {}), damaged, Frame(999, {})})
        ZocToviMsg::GetInput().OnDataReceived(bytes.data(), bytes.size());
    ASSERT_EQ(ZocToviMsg::GetInput().GetMessagesPopped(), 3u);
    ASSERT_EQ(ZocToviMsg::GetInput().GetPreamblesFound(), 5u);
    std::vector<uint32_t> factors;
    for (int timeout = 0; timeout < 5; ++timeout) {
        Advance(2001);
        ZocMainTimer::OnTimerEvent();
        factors.push_back(ZocGlobals::txFrameFactor);
    }
    EXPECT_EQ(factors, (std::vector<uint32_t>{500, 750, 1000, 1250, 1250}));
    int factorMessages = 0;
    for (auto& [type, body] : Sent())
        if (type == ZoMsg::ToU16(ZoMsg::Type::TxFrameRateFactor))
            ++factorMessages;
    EXPECT_EQ(factorMessages, 4);
    EXPECT_EQ(port.reopens, 0);

    // The remembered good factor is taken first when the factor is 0.
    ZocGlobals::txFrameFactor = 0;
    ZocSettings::Instance().device.comm.toviTxFrameRateLastKnownGoodFactor = 750;
    Advance(2001);
    ZocMainTimer::OnTimerEvent();
    EXPECT_EQ(ZocGlobals::txFrameFactor, 750u);
}

TEST_F(MainTimerTest, SilentToviReopensThePort) {
    ZocSettings::Instance().general.commPort.reconnectIfToviInfoTimeout = true;
    Advance(2001);
    ZocMainTimer::OnTimerEvent();
    EXPECT_EQ(port.reopens, 1);
    EXPECT_EQ(ZocGlobals::txFrameFactor, 0u);
}

TEST_F(MainTimerTest, KeepAlivePingsOnlyWhenQuietAndRemembersTheFactor) {
    ZocGlobals::toviInfo.uid = 42;
    ZocGlobals::txFrameFactor = 500;
    ZocToviMsg::GetOutput().SetLastActiveTicks(now - 500);
    EXPECT_EQ(ZocMainTimer::OnTimerEvent(), 1000u);
    EXPECT_TRUE(Sent().empty()) << "traffic within the last second suppresses the ping";
    EXPECT_EQ(ZocSettings::Instance().device.comm.toviTxFrameRateLastKnownGoodFactor, 500u);
    ZocToviMsg::GetOutput().SetLastActiveTicks(now - 1500);
    ZocMainTimer::OnTimerEvent();
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].second, (Bytes{2, 0}));
}

TEST_F(MainTimerTest, RandomJiggleReturnsThePointer) {
    ZocGlobals::toviInfo.uid = 42;
    ZocGlobals::doNotPing = true;
    ZocGlobals::mouseJiggleOn = true;
    ZocSettings::Instance().general.mouseJiggle.mode = 1;
    ZocSettings::Instance().general.mouseJiggle.step = 5;
    for (int tick = 0; tick < 40; ++tick)
        ZocMainTimer::OnTimerEvent();
    ZocGlobals::doNotPing = false;
    int x = 0, y = 0, moves = 0;
    for (auto& [type, body] : Sent()) {
        ASSERT_EQ(type, ZoMsg::ToU16(ZoMsg::Type::Mouse));
        int dx = int8_t(body[1]), dy = int8_t(body[2]);
        EXPECT_LE(std::abs(dx), 10);
        EXPECT_LE(std::abs(dy), 10);
        x += dx;
        y += dy;
        ++moves;
    }
    EXPECT_EQ(moves, 40);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
}

#include "device/protocol/ZocToviMsg.h"
#include "FakeCommPort.h"
#include "LogCapture.h"
#include "app/ZocGlobals.h"
#include "app/ZocVersion.h"
#include "device/protocol/FrameBytes.h"
#include "device/protocol/ZoCrc.h"
#include "ui/ZocModalDialog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace {

using Bytes = std::vector<uint8_t>;

using FrameBytes::MakeFrame;

// The global channel with an in-memory port; everything it touches is reset afterwards.
class ChannelTest : public testing::Test {
protected:
    void SetUp() override {
        ZocToviMsg::SetCommPort(&port);
        ZocToviMsg::GetInput().Clear();
        ZocToviMsg::GetOutput().Clear();
        ZocUi::ModalDialog::Clear();
        ZocGlobals::toviInfo = {};
        ZocGlobals::toviState = {};
        ZocGlobals::toviConnected = true;
    }
    void TearDown() override {
        ZocToviMsg::SetCommPort(nullptr);
        ZocToviMsg::hooks = {};
        ZocToviMsg::ticksForTesting = 0;
        ZocUi::ModalDialog::Clear();
        ZocGlobals::toviConnected = false;
    }
    static void Receive(const Bytes& bytes) {
        ZocToviMsg::GetInput().OnDataReceived(bytes.data(), bytes.size());
    }

    FakeCommPort port;
};

TEST_F(ChannelTest, DispatchesByTypeAndToleratesHandlerChanges) {
    ZocToviMsg::ticksForTesting = 4242;
    EXPECT_TRUE(ZocToviMsg::GetInput().HasMessageHandler(ZoMsg::Type::ToviLog));
    std::vector<uint16_t> seen;
    {
        ZocToviMsg::ScopedMessageHandler scoped(ZoMsg::Type::VTermData,
                                                [&](const ZoMsg::Head& head, const Bytes& body) {
                                                    seen.push_back(head.seq);
                                                    EXPECT_EQ(body, (Bytes{'o', 'k'}));
                                                });
        // A one-shot handler that removes itself while it runs.
        ZocToviMsg::AddMessageHandler(ZoMsg::Type::FwUpdateBegin, [&](const ZoMsg::Head& head, const Bytes&) {
            seen.push_back(head.seq);
            ZocToviMsg::RemoveMessageHandler(ZoMsg::Type::FwUpdateBegin);
        });
        LogCapture log;
        Bytes stream = MakeFrame(511, 1, {'o', 'k'});
        for (const Bytes& more :
             {MakeFrame(4110, 2, {1, 0}), MakeFrame(4110, 3, {1, 0}), MakeFrame(999, 4, {}),
              MakeFrame(200, 5, {2, 0}), MakeFrame(511, 6, {'o', 'k'})}) {
            stream.insert(stream.end(), more.begin(), more.end());
        }
        Receive(stream);
        const std::string lines = log.Take();
        EXPECT_NE(lines.find("No handler was set for the message type 4110"), std::string::npos) << lines;
        EXPECT_NE(lines.find("No handler was set for the message type 999"), std::string::npos);
        EXPECT_EQ(lines.find("message type 200"), std::string::npos); // pings are consumed silently
    }
    EXPECT_EQ(seen, (std::vector<uint16_t>{1, 2, 6}));
    EXPECT_FALSE(ZocToviMsg::GetInput().HasMessageHandler(ZoMsg::Type::VTermData));
    EXPECT_EQ(ZocToviMsg::GetInput().GetLastActiveTicks(), 4242u);
}

TEST_F(ChannelTest, OutputThreadWritesChunksAndDropsWhenClosed) {
    ZocToviMsg::ticksForTesting = 777;
    ZocToviMsg::Initialize();
    const Bytes text(100, 'x');
    ASSERT_TRUE(ZocToviMsg::PushPacketWithBuffer(ZoMsg::Type::PasteText, nullptr, text.size(), text.data()));
    ASSERT_TRUE(port.WaitWritten(116));
    EXPECT_EQ(port.Written(), MakeFrame(420, ZocToviMsg::GetOutput().GetSequenceCounter(), text));
    for (int size : port.WriteSizes()) {
        EXPECT_LE(size, 32);
    }
    EXPECT_EQ(ZocToviMsg::GetOutput().GetLastActiveTicks(), 777u);

    // A failing write drops the current chunk only; too large a count is refused too.
    LogCapture log;
    port.Script({-5, 99});
    ASSERT_TRUE(ZocToviMsg::PushPacketWithBuffer(ZoMsg::Type::PasteText, nullptr, text.size(), text.data()));
    ASSERT_TRUE(port.WaitWritten(116 + 116 - 32));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::string lines = log.Take();
    EXPECT_NE(lines.find("Failed to send data to Tovi, discard 32 bytes, error 5"), std::string::npos)
        << lines;
    EXPECT_NE(lines.find("More data (99) than asked (32) sent to Tovi"), std::string::npos) << lines;
    EXPECT_EQ(port.Written().size(), 116u + 116 - 32); // the fake keeps what it was given

    // With the port closed pushes are refused.
    port.opened = false;
    LogCapture refused;
    EXPECT_FALSE(ZocToviMsg::PushPacket(ZoMsg::Type::Keyboard, ZoMsg::Body::Keyboard{}));
    EXPECT_NE(refused.Take().find("Outbound msg was discarded (type 400, bodySize 8, shutdown 0)"),
              std::string::npos);
}

TEST_F(ChannelTest, SendAndWaitTiming) {
    struct Run {
        std::vector<int> sleeps;
        int sends = 0;
    };
    auto run = [](Run& r, int retries, int waitMs, const std::function<bool()>& isDone) {
        return ZocToviMsg::SendAndWaitFor(
            "Test", retries, waitMs, true,
            [&] {
                ++r.sends;
                return true;
            },
            isDone, [&](int ms) { r.sleeps.push_back(ms); });
    };

    // No answer at all: five attempts of 81 ms then 30 polls 11 ms apart.
    LogCapture log;
    Run silent;
    EXPECT_FALSE(run(silent, 5, 100, [] { return false; }));
    EXPECT_EQ(silent.sends, 5);
    ASSERT_EQ(silent.sleeps.size(), 5u * 31);
    EXPECT_EQ(silent.sleeps[0], 81);
    EXPECT_EQ(silent.sleeps[1], 11);
    EXPECT_EQ(silent.sleeps[31], 81);
    const std::string lines = log.Take();
    EXPECT_NE(lines.find("Test: Timed out, 411 ms, retry 1/5"), std::string::npos) << lines;
    EXPECT_NE(lines.find("Test: Timed out, 411 ms, retry 5/5"), std::string::npos);

    // Answer on the third poll of the second attempt.
    LogCapture answered;
    Run late;
    int polls = 0;
    EXPECT_TRUE(run(late, 5, 100, [&] { return ++polls == 33; }));
    EXPECT_EQ(late.sends, 2);
    EXPECT_NE(answered.Take().find("Test: Got response, poll count 3, timespan 114 ms"), std::string::npos);

    // A disconnect ends the wait after the attempt.
    ZocGlobals::toviConnected = false;
    LogCapture aborted;
    Run gone;
    EXPECT_FALSE(run(gone, 5, 1000, [] { return false; }));
    EXPECT_EQ(gone.sends, 1);
    EXPECT_EQ(gone.sleeps[0], 801);
    EXPECT_EQ(gone.sleeps[1], 101);
    EXPECT_NE(aborted.Take().find("Test: disconnected, abort"), std::string::npos);
}

Bytes InfoBody(uint16_t major, uint16_t minor, size_t size) {
    ZoMsg::Body::ToviInfo info;
    info.messageVersionMajor = major;
    info.messageVersionMinor = minor;
    info.uid = 0x1122334455667788ull;
    std::memset(info.boardName, 'B', sizeof info.boardName); // no terminator: must stay in bounds
    info.firmwareVersionMajor = 1;
    info.firmwareVersionMinor = 30;
    info.sku = 2;
    info.features = 2;
    Bytes body(sizeof info);
    std::memcpy(body.data(), &info, sizeof info);
    body.resize(size, 0xEE);
    return body;
}

TEST_F(ChannelTest, ToviInfoVersionChecks) {
    ZocToviMsg::Initialize();
    struct Case {
        const char* name;
        Bytes body;
        bool accepted;
        size_t dialogs;
        const char* text;
    } cases[] = {
        {"1.4", InfoBody(1, 4, 131), true, 0, "Tovi info: message version 1.4, uid 0x1122334455667788"},
        {"1.3", InfoBody(1, 3, 131), true, 1,
         "Title: Tovi Warning Contents: The Tovi firmware is out-of-date"},
        {"longer", InfoBody(1, 4, 140), true, 0,
         "ToviInfo has more info from device, please update Tovi app"},
        {"1.5", InfoBody(1, 5, 131), false, 1,
         "The application is out-of-date, please update it. \nThe application protocol is v1.4. The firmware "
         "protocol is v1.5."},
        {"2.0", InfoBody(2, 0, 131), false, 1,
         "not compatible. Please upgrade the application.\nThe application protocol is v1.4. The firmware "
         "protocol "
         "is v2.0."},
        {"short", Bytes{1, 0, 4}, false, 1, "( sizeof(msg)=3 sizeof(clientmsg)=131"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        port.Reset();
        int disconnects = 0;
        ZocToviMsg::hooks.requestDisconnect = [&] { ++disconnects; };
        LogCapture log;
        Receive(MakeFrame(100, 1, c.body));
        const std::string lines = log.Take();
        EXPECT_NE(lines.find(c.text), std::string::npos) << lines;
        EXPECT_EQ(ZocUi::ModalDialog::GetPendingCount(), c.dialogs);
        EXPECT_EQ(disconnects, c.accepted ? 0 : 1);
        if (c.accepted) {
            EXPECT_EQ(std::memcmp(&ZocGlobals::toviInfo, c.body.data(), 131), 0);
            EXPECT_STREQ(ZocVersion::FirmwareVersion.GetText(), "1.30");
            ASSERT_TRUE(port.WaitWritten(18));
            EXPECT_EQ(port.Written(), MakeFrame(200, ZocToviMsg::GetOutput().GetSequenceCounter(), {2, 0}));
        } else {
            EXPECT_EQ(uint64_t{ZocGlobals::toviInfo.uid}, 0u); // packed field: compared by value
            EXPECT_NE(lines.find("Invalid Tovi-Info:"), std::string::npos);
            EXPECT_EQ(ZocToviMsg::GetOutput().GetUsed(), 0u);
            EXPECT_TRUE(port.Written().empty());
        }
    }

    // A short report keeps the bytes it does not cover.
    SetUp();
    Receive(MakeFrame(100, 1, InfoBody(1, 4, 131)));
    Receive(MakeFrame(100, 2, InfoBody(1, 4, 12)));
    EXPECT_EQ(int{ZocGlobals::toviInfo.firmwareVersionMinor}, 30);
}

TEST_F(ChannelTest, ToviStateStoresEveryChangeAndThrottlesTemperatureLog) {
    int changes = 0;
    ZocToviMsg::hooks.toviStateChanged = [&] { ++changes; };
    uint64_t now = 1000000;
    auto send = [&](uint8_t pins, uint8_t temperature, uint64_t advanceMs) {
        now += advanceMs;
        ZocToviMsg::ticksForTesting = now;
        LogCapture log;
        Receive(MakeFrame(101, 1, {2, 0, 0, 0, 0, 0, 0, 0, pins, temperature}));
        EXPECT_EQ(ZocGlobals::toviState.temperature, temperature);
        return log.Take().find("ToviState:") != std::string::npos;
    };
    // pins: GPIO 3 valid and high, GPIO 1 valid and low, others not inputs.
    EXPECT_TRUE(send(0xC8, 40, 0));
    EXPECT_FALSE(send(0xC8, 40, 10));   // unchanged: not even stored again
    EXPECT_FALSE(send(0xC8, 41, 10));   // one degree, too soon
    EXPECT_FALSE(send(0xC8, 40, 10));   // back to the logged state
    EXPECT_TRUE(send(0xC8, 41, 60001)); // one degree, a minute after the last line
    EXPECT_TRUE(send(0xC8, 43, 10));    // two degrees: always
    EXPECT_TRUE(send(0xCC, 43, 10));    // a pin change: always
    EXPECT_EQ(changes, 6);

    char levels[5];
    ZocToviMsg::GetPinLevelsString(0xC8, levels);
    EXPECT_STREQ(levels, "H-L-");
    ZocToviMsg::GetPinLevelsString(0x8C, levels);
    EXPECT_STREQ(levels, "L-H-");
}

TEST_F(ChannelTest, ToviStateLogLine) {
    ZocToviMsg::ticksForTesting = 5000000;
    LogCapture log;
    Receive(MakeFrame(101, 1, {0x02, 0, 0, 0, 1, 0, 0, 0, 0xC8, 37}));
    EXPECT_NE(log.Take().find("ToviState: states 00000002, temperature 37C, GPIO H-L- (11001000)"),
              std::string::npos);
}

} // namespace

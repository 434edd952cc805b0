#include "device/transport/ZocCommPort.h"
#include "../protocol/LogCapture.h"
#include "PtyPair.h"
#include "app/ZocGlobals.h"
#include "device/protocol/FrameBytes.h"
#include "device/protocol/ZoCrc.h"
#include "device/protocol/ZocToviMsg.h"
#include "device/transport/ZotCustomBaudRate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace {

using Bytes = std::vector<uint8_t>;

using FrameBytes::MakeFrame;

template <typename Pred> bool WaitUntil(Pred pred, int timeoutMs = 2000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Three terminal-data frames of about 1000 bytes each: 3048 bytes in all.
Bytes ThreeFrames() {
    Bytes stream;
    for (uint16_t seq = 1; seq <= 3; ++seq) {
        const Bytes frame = MakeFrame(511, seq, Bytes(1000, uint8_t(seq)));
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    return stream;
}

class CommPortTest : public testing::Test {
protected:
    void SetUp() override {
        ZocToviMsg::Initialize();
        ZocToviMsg::GetInput().Clear();
        ZocToviMsg::AddMessageHandler(ZoMsg::Type::VTermData,
                                      [this](const ZoMsg::Head& head, const Bytes& body) {
                                          std::lock_guard<std::mutex> lock(mutex);
                                          seqs.push_back(head.seq);
                                          sizes.push_back(body.size());
                                      });
    }
    void TearDown() override {
        ZocToviMsg::RemoveMessageHandler(ZoMsg::Type::VTermData);
        ZocCommPort::unplugHooks = {};
    }
    size_t Received() {
        std::lock_guard<std::mutex> lock(mutex);
        return seqs.size();
    }

    std::mutex mutex;
    std::vector<uint16_t> seqs;
    std::vector<size_t> sizes;
};

TEST_F(CommPortTest, OpenFailures) {
    ZocCommPort port;
    ZocCaptureResponse r = port.Open("");
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.title, "Open Serial Port");
    EXPECT_EQ(r.message, "No port supplied.");
    r = port.Open("/dev/zt-no-such-port");
    EXPECT_FALSE(r.success);
    EXPECT_EQ(r.message, "Failed to open serial port /dev/zt-no-such-port, not exist error");
    EXPECT_FALSE(port.IsOpened());
}

TEST_F(CommPortTest, OpensAtTheTovisRateAndCarriesFrames) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ZocGlobals::txFrameFactor = 3;
    ZocToviMsg::ticksForTesting = 9000;
    ZocCommPort port;
    LogCapture log;
    const ZocCaptureResponse r = port.Open(pty.slavePath);
    const std::string lines = log.Take();
    ZocToviMsg::ticksForTesting = 0;
    ASSERT_TRUE(r.success) << r.message;
    EXPECT_NE(lines.find("The serial port '" + pty.slavePath + "' is opened"), std::string::npos);
    EXPECT_TRUE(r.title.empty() && r.message.empty());
    EXPECT_EQ(ZotCustomBaudRate::Get(pty.master), 2000000);
    EXPECT_EQ(ZocGlobals::infoRequestTicks.load(), 9000u);
    EXPECT_EQ(ZocToviMsg::GetInput().GetLastActiveTicks(), 9000u);

    // The frame-rate factor goes out first, through the output thread.
    const Bytes factor = pty.ReadMaster(20);
    ASSERT_EQ(factor.size(), 20u);
    EXPECT_EQ(Bytes(factor.begin() + 8, factor.begin() + 10), (Bytes{50, 0}));
    EXPECT_EQ(Bytes(factor.begin() + 12, factor.begin() + 16), (Bytes{3, 0, 0, 0}));

    const Bytes stream = ThreeFrames();
    ASSERT_EQ(::write(pty.master, stream.data(), stream.size()), ssize_t(stream.size()));
    ASSERT_TRUE(WaitUntil([&] { return Received() == 3; }));
    EXPECT_EQ(seqs, (std::vector<uint16_t>{1, 2, 3}));

    LogCapture closing;
    port.Close();
    EXPECT_NE(closing.Take().find("The serial port is closed"), std::string::npos);
    ZocGlobals::txFrameFactor = 0;
}

TEST_F(CommPortTest, ReadEventHandsOnAnnouncedBytesAndStopsWhenEmpty) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ZocCommPort port;
    ASSERT_TRUE(port.Open(pty.slavePath).success);
    // Let the bytes gather in the port's ring without a listener, then
    // announce them all at once as the monitor would.
    port.GetSerialPort().disconnectReadEvent();
    const Bytes stream = ThreeFrames();
    ASSERT_EQ(::write(pty.master, stream.data(), stream.size()), ssize_t(stream.size()));
    ASSERT_TRUE(WaitUntil([&] { return port.GetSerialPort().getReadBufferUsedLen() == stream.size(); }));
    port.onReadEvent(pty.slavePath.c_str(), unsigned(stream.size()));
    EXPECT_EQ(Received(), 3u);
    EXPECT_EQ(port.GetSerialPort().getReadBufferUsedLen(), 0u);

    // Announced bytes that are no longer there: the loop ends at once.
    port.onReadEvent(pty.slavePath.c_str(), 5000);
    EXPECT_EQ(Received(), 3u);
}

TEST_F(CommPortTest, FailingWriteOnAVanishedDeviceDisconnects) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    std::atomic<int> disconnects{0};
    ZocCommPort::unplugHooks.isCommExist = [](const std::string&) { return false; };
    ZocCommPort::unplugHooks.disconnectUnplugged = [&] { ++disconnects; };
    ZocCommPort port;
    ASSERT_TRUE(port.Open(pty.slavePath).success);
    pty.ReadMaster(20); // the frame-rate factor
    pty.CloseMaster();  // the Tovi is pulled out

    LogCapture log;
    EXPECT_TRUE(ZocToviMsg::PushPacket(ZoMsg::Type::Ping, ZoMsg::Body::PingType{}));
    ASSERT_TRUE(WaitUntil([&] { return disconnects > 0; }));
    EXPECT_NE(log.Take().find("The connected Tovi was un-plugged, to disconnect..."), std::string::npos);

    // While the device still exists a failed write changes nothing.
    ZocCommPort::unplugHooks.isCommExist = [](const std::string&) { return true; };
    const int before = disconnects;
    const uint8_t byte = 0;
    EXPECT_LT(port.Write(&byte, 1), 1);
    EXPECT_EQ(disconnects, before);
}

} // namespace

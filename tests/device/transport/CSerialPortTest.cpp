#include "device/transport/CSerialPort.h"
#include "PtyPair.h"
#include "device/transport/ZotCustomBaudRate.h"
#include "device/transport/ZotSerialPort.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <termios.h>
#include <thread>

namespace {

// Collects what the port hands on, reading on the monitor thread as the
// application's listener does.
class Collector : public CSerialPortListener {
public:
    explicit Collector(CSerialPort& port) : mPort(port) {}
    void onReadEvent(const char*, unsigned int length) override {
        std::vector<uint8_t> chunk(length);
        const int got = mPort.readData(chunk.data(), int(length));
        std::lock_guard<std::mutex> lock(mMutex);
        ++events;
        if (got > 0) {
            bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + got);
        }
        mCond.notify_all();
    }
    bool WaitFor(size_t count, int timeoutMs = 2000) {
        std::unique_lock<std::mutex> lock(mMutex);
        return mCond.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return bytes.size() >= count; });
    }
    std::vector<uint8_t> bytes;
    int events = 0;

private:
    CSerialPort& mPort;
    std::mutex mMutex;
    std::condition_variable mCond;
};

TEST(CSerialPort, OpenFailuresGiveTheirCodes) {
    struct Case {
        const char* path;
        int error;
        const char* text;
    } cases[] = {
        {"/dev/zt-no-such-port", ErrorNotExist, "not exist error"},
        {"/dev/null", ErrorInvalidParam, "invalid param error"}, // not a terminal: settings fail
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        CSerialPort port;
        port.init(c.path, 115200);
        EXPECT_FALSE(port.open());
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(port.getLastError(), c.error);
        EXPECT_STREQ(port.getLastErrorMsg(), c.text);
    }

    CSerialPort closed;
    char byte = 0;
    EXPECT_EQ(closed.readData(&byte, 1), -1);
    EXPECT_EQ(closed.getLastError(), ErrorNotOpen);
    EXPECT_EQ(closed.writeData(&byte, 1), -1);
    EXPECT_EQ(closed.readLineData(&byte, 1), -1);
    EXPECT_EQ(closed.getLastError(), ErrorNotOpen);

    CSerialPort empty(nullptr);
    EXPECT_FALSE(empty.open());
    EXPECT_EQ(empty.getLastError(), ErrorNullPointer);
    EXPECT_STREQ(empty.getLastErrorMsg(), "null pointer error");
    EXPECT_STREQ(CSerialPortBase::ErrorText(42), "undefined error code");
}

TEST(CSerialPort, AppliesStandardAndCustomRates) {
    for (int rate : {115200, 921600, 1500000, 2000000}) {
        SCOPED_TRACE(rate);
        PtyPair pty;
        ASSERT_TRUE(pty.Ok());
        CSerialPort port;
        port.init(pty.slavePath.c_str(), rate, ParityNone, DataBits8, StopOne, FlowHardware, 40960);
        ASSERT_TRUE(port.open()) << port.getLastErrorMsg();
        // The pair shares one set of terminal settings; read them on the master.
        EXPECT_EQ(ZotCustomBaudRate::Get(pty.master), rate);
        termios tio{};
        ASSERT_EQ(tcgetattr(pty.master, &tio), 0);
        EXPECT_EQ(tio.c_cflag & CSIZE, tcflag_t(CS8));
        EXPECT_NE(tio.c_cflag & CRTSCTS, 0u);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
        if (rate == 115200) {
            EXPECT_EQ(cfgetospeed(&tio), speed_t(B115200));
        }
        port.setDtr(true); // no modem lines on a pseudo-terminal: tolerated
        port.setRts(false);
        EXPECT_TRUE(port.isOpen());
        EXPECT_EQ(port.readLineData(nullptr, 0), -1);
        EXPECT_EQ(port.getLastError(), ErrorNotImplemented);
    }
    CSerialPort port;
    PtyPair pty;
    port.init(pty.slavePath.c_str(), 9600, ParityMark);
    EXPECT_FALSE(port.open());
    port.init(pty.slavePath.c_str(), 9600, ParityNone, DataBits8, StopOneAndHalf);
    EXPECT_FALSE(port.open());
}

TEST(CSerialPort, MovesBytesBothWays) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    CSerialPort port;
    Collector collector(port);
    port.init(pty.slavePath.c_str(), 2000000, ParityNone, DataBits8, StopOne, FlowNone, 40960);
    port.connectReadEvent(&collector);
    ASSERT_TRUE(port.open());

    std::vector<uint8_t> sent(3000);
    for (size_t i = 0; i < sent.size(); ++i) {
        sent[i] = uint8_t(i * 7);
    }
    ASSERT_EQ(::write(pty.master, sent.data(), sent.size()), ssize_t(sent.size()));
    ASSERT_TRUE(collector.WaitFor(sent.size()));
    EXPECT_EQ(collector.bytes, sent);

    const uint8_t reply[] = {0x3C, 0x5A, 0xA5, 0xC3, 0x00, 0x0A};
    EXPECT_EQ(port.writeData(reply, sizeof reply), int(sizeof reply));
    EXPECT_EQ(pty.ReadMaster(sizeof reply), std::vector<uint8_t>(reply, reply + sizeof reply));

    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.writeData(reply, 1), -1);
    EXPECT_EQ(port.getLastError(), ErrorNotOpen);
}

// The monitor waits in poll(): neither an idle line nor a hung-up one may
// keep a core busy. A spinning monitor would use about the whole interval.
TEST(CSerialPort, MonitorDoesNotSpinAndHangUpFailsWrites) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    CSerialPort port;
    port.init(pty.slavePath.c_str(), 2000000);
    ASSERT_TRUE(port.open());

    double before = ProcessCpuMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LT(ProcessCpuMs() - before, 60.0) << "idle monitor";

    pty.CloseMaster(); // the device went away
    const uint8_t byte = 0x55;
    EXPECT_LT(port.writeData(&byte, 1), 1);
    before = ProcessCpuMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LT(ProcessCpuMs() - before, 60.0) << "hung-up monitor";
    port.close(); // joins the monitor promptly
    EXPECT_FALSE(port.isOpen());
}

TEST(ZotSerialPort, ProbePortRoundTrip) {
    ZotSerialPort missing("/dev/zt-no-such-port", 2000000);
    EXPECT_EQ(missing.Open(), ENOENT);

    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ZotSerialPort port(pty.slavePath.c_str(), 2000000);
    ASSERT_EQ(port.Open(), 0);
    EXPECT_EQ(ZotCustomBaudRate::Get(pty.master), 2000000);

    char c = 0;
    EXPECT_FALSE(port.ReadChar(c)); // nothing waiting: no wait either
    const std::vector<uint8_t> tooLong(1025, 1);
    EXPECT_EQ(port.Write(tooLong.data(), int(tooLong.size())), -1);
    const uint8_t ping[] = {1, 2, 3};
    EXPECT_EQ(port.Write(ping, 3), 3);
    EXPECT_EQ(pty.ReadMaster(3), std::vector<uint8_t>(ping, ping + 3)); // the 1025 bytes never went out

    ASSERT_EQ(::write(pty.master, "A", 1), 1);
    for (int i = 0; i < 100 && !port.ReadChar(c); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(c, 'A');
}

} // namespace

#pragma once
#include "device/transport/CSerialPortBase.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

// The POSIX serial port: terminal settings, a read-monitor thread that moves
// received bytes into a ring buffer and tells the listener, direct writes.
//
// The monitor waits in poll() (woken by an eventfd on close), so it hands
// bytes on as soon as they arrive without burning a core, and it backs off
// when the line has hung up instead of spinning on the hang-up event.
class CSerialPortUnixBase : public CSerialPortBase {
public:
    static constexpr size_t kMaxPortNameLength = 256;

    CSerialPortUnixBase();
    ~CSerialPortUnixBase() override;

    void init(const char* portName, int baudRate, Parity parity, DataBits dataBits, StopBits stopbits,
              FlowControl flowControl, unsigned int readBufferSize) override;
    bool openPort() override;
    void closePort() override;
    bool isOpen() override;
    unsigned int getReadBufferUsedLen() override;
    int readData(void* data, int size) override;
    int readAllData(void* data, int size) override;
    int readLineData(void* data, int size) override;
    int writeData(const void* data, int size) override;
    void setDebugModel(bool isDebug) override;
    void setReadIntervalTimeout(unsigned int msecs) override;
    void setMinByteReadNotify(unsigned int minByteReadNotify) override;
    bool flushBuffers() override;
    bool flushReadBuffers() override;
    bool flushWriteBuffers() override;
    void setPortName(const char* portName) override;
    const char* getPortName() const override;
    void setBaudRate(int baudRate) override;
    int getBaudRate() const override;
    void setParity(Parity parity) override;
    Parity getParity() const override;
    void setDataBits(DataBits dataBits) override;
    DataBits getDataBits() const override;
    void setStopBits(StopBits stopbits) override;
    StopBits getStopBits() const override;
    void setFlowControl(FlowControl flowControl) override;
    FlowControl getFlowControl() const override;
    void setReadBufferSize(unsigned int size) override;
    unsigned int getReadBufferSize() const override;
    void setDtr(bool set = true) override;
    void setRts(bool set = true) override;

    // How long one writeData call waits for a stalled line before it
    // returns what it wrote so far.
    static constexpr int kWriteTimeoutMs = 500;

private:
    bool uartSet(int fd);
    // Applies the line settings again when the port is open.
    void reapplyIfOpen();
    bool setModemLine(int line, bool set, const char* errorText);
    void monitorLoop();
    void stopMonitor();
    // Reads what the device holds into the ring; false when the line is gone.
    bool readIntoBuffer(size_t available);
    void notifyListener();
    void bufferPush(const uint8_t* data, size_t length);
    size_t bufferPop(void* out, size_t length);
    void bufferClear();

    // Settings (written before open, read by open).
    std::string mPortName;
    int mBaudRate = 9600;
    Parity mParity = ParityNone;
    DataBits mDataBits = DataBits8;
    StopBits mStopBits = StopOne;
    FlowControl mFlowControl = FlowNone;
    unsigned int mReadBufferSize = 4096;

    // The descriptor: shared for reads and writes, exclusive to open/close.
    mutable std::shared_mutex mFdMutex;
    std::atomic<int> mFd{-1};
    std::mutex mWriteMutex; // one writer at a time
    std::mutex mOpenMutex;  // serialises open and close

    std::thread mMonitor;
    std::atomic<bool> mRunning{false};
    int mWakeFd = -1; // eventfd that ends the monitor's wait

    // Read ring: fixed power-of-two size; when full, new bytes overwrite the oldest.
    std::mutex mBufferMutex;
    std::vector<uint8_t> mBuffer;
    size_t mBufferUsed = 0;
    size_t mBufferRead = 0;
    std::vector<uint8_t> mReadChunk; // monitor's staging for one read call
    size_t mUnnotified = 0;          // bytes received since the last notification (timer mode)
    std::chrono::steady_clock::time_point mFirstUnnotified;
};

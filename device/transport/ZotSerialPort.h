#pragma once
#include <string>

// A small non-blocking serial port without threads, used to probe a port.
class ZotSerialPort {
public:
    static constexpr int kMaxWrite = 1024;

    // parity: 'N' none, 'O' odd, anything else even; stopBits 2 or 1.
    ZotSerialPort(const char* portName, int baudRate, int dataSize = 8, char parity = 'N', int stopBits = 1);
    ~ZotSerialPort();
    ZotSerialPort(const ZotSerialPort&) = delete;
    ZotSerialPort& operator=(const ZotSerialPort&) = delete;

    // 0 = none, 2 = RTS/CTS.
    void SetFlowControl(int flowControl) { mFlowControl = flowControl; }
    // 0 on success, else the system error number.
    int Open();
    void Close();
    bool IsOpened() const { return mFd >= 0; }
    // At most one byte, without waiting; true when a byte was read.
    bool ReadChar(char& c);
    // The count, 0 when nothing is waiting, or the negated error number.
    int Read(void* data, int size);
    int WriteChar(char c);
    // More than kMaxWrite bytes: -1, nothing written. Waits for earlier
    // output to drain first (interrupted: 0; failed: negated error number).
    int Write(const void* data, int length);

private:
    std::string mPortName;
    int mBaudRate;
    bool mStandardSpeed = false;
    unsigned int mSpeed = 0; // termios speed constant for standard rates
    int mDataSize;
    char mParity;
    int mStopBits;
    int mFlowControl = 0;
    int mFd = -1;
};

#pragma once
#include "device/transport/CSerialPortListener.h"

#include <atomic>
#include <cstdint>

enum Parity { ParityNone = 0, ParityOdd = 1, ParityEven = 2, ParityMark = 3, ParitySpace = 4 };
enum DataBits { DataBits5 = 5, DataBits6 = 6, DataBits7 = 7, DataBits8 = 8 };
enum StopBits { StopOne = 0, StopOneAndHalf = 1, StopTwo = 2 };
enum FlowControl { FlowNone = 0, FlowHardware = 1, FlowSoftware = 2 };
enum OperateMode { AsynchronousOperate = 0, SynchronousOperate = 1 };

// Result codes of the serial port layer (getLastError); each has a fixed text.
enum SerialPortError {
    ErrorUnknown = -1,       // "unknown error"
    ErrorOK = 0,             // "success"
    ErrorFail = 1,           // "general error"
    ErrorNotImplemented = 2, // "not implemented error"
    ErrorInner = 3,          // "innet error": a system call inside the layer failed
    ErrorNullPointer = 4,    // "null pointer error": facade without an implementation
    ErrorInvalidParam = 5,   // "invalid param error": line settings rejected
    ErrorAccessDenied = 6,   // "access denied error"
    ErrorOutOfMemory = 7,    // "out of memory error"
    ErrorTimeout = 8,        // "timeout error"
    ErrorNotInit = 9,        // "not init error"
    ErrorInitFailed = 10,    // "init failed error"
    ErrorAlreadyExist = 11,  // "already exist error"
    ErrorNotExist = 12,      // "not exist error": no such device
    ErrorAlreadyOpen = 13,   // "already open error"
    ErrorNotOpen = 14,       // "not open error"
    ErrorOpenFailed = 15,    // "open failed error"
    ErrorCloseFailed = 16,   // "close failed error"
    ErrorWriteFailed = 17,   // "write failed error"
};

// The serial port operations, implemented per platform (CSerialPortUnixBase).
// The base keeps the error state, the notification settings and the listener.
class CSerialPortBase {
public:
    CSerialPortBase() = default;
    CSerialPortBase(const CSerialPortBase&) = delete;
    CSerialPortBase& operator=(const CSerialPortBase&) = delete;
    virtual ~CSerialPortBase() = default;

    virtual void init(const char* portName, int baudRate, Parity parity, DataBits dataBits, StopBits stopbits,
                      FlowControl flowControl, unsigned int readBufferSize) = 0;
    virtual void setOperateMode(OperateMode operateMode);
    virtual bool openPort() = 0;
    virtual void closePort() = 0;
    virtual bool isOpen() = 0;
    virtual unsigned int getReadBufferUsedLen() = 0;
    // Reads up to `size` bytes; the count, or -1 on failure.
    virtual int readData(void* data, int size) = 0;
    // Reads everything buffered, at most `size` bytes.
    virtual int readAllData(void* data, int size) = 0;
    virtual int readLineData(void* data, int size) = 0;
    // Writes up to `size` bytes; the count written, or -1 on failure.
    virtual int writeData(const void* data, int size) = 0;
    virtual void setDebugModel(bool isDebug) = 0;
    virtual void setReadIntervalTimeout(unsigned int msecs) = 0;
    virtual unsigned int getReadIntervalTimeout();
    virtual void setMinByteReadNotify(unsigned int minByteReadNotify) = 0;
    virtual unsigned int getMinByteReadNotify();
    virtual void setByteReadBufferFullNotify(unsigned int byteReadBufferFullNotify);
    virtual unsigned int getByteReadBufferFullNotify();
    virtual bool flushBuffers() = 0;
    virtual bool flushReadBuffers() = 0;
    virtual bool flushWriteBuffers() = 0;
    virtual int getLastError() const;
    virtual const char* getLastErrorMsg() const;
    virtual void clearError();
    virtual void setPortName(const char* portName) = 0;
    virtual const char* getPortName() const = 0;
    virtual void setBaudRate(int baudRate) = 0;
    virtual int getBaudRate() const = 0;
    virtual void setParity(Parity parity) = 0;
    virtual Parity getParity() const = 0;
    virtual void setDataBits(DataBits dataBits) = 0;
    virtual DataBits getDataBits() const = 0;
    virtual void setStopBits(StopBits stopbits) = 0;
    virtual StopBits getStopBits() const = 0;
    virtual void setFlowControl(FlowControl flowControl) = 0;
    virtual FlowControl getFlowControl() const = 0;
    virtual void setReadBufferSize(unsigned int size) = 0;
    virtual unsigned int getReadBufferSize() const = 0;
    virtual void setDtr(bool set = true) = 0;
    virtual void setRts(bool set = true) = 0;

    // The one listener told about received bytes (replaces a previous one).
    int connectReadEvent(CSerialPortListener* listener);
    int disconnectReadEvent();

    // The text of an error code ("undefined error code" for others).
    static const char* ErrorText(int code);

protected:
    void setLastError(int error) { mLastError.store(error, std::memory_order_relaxed); }
    CSerialPortListener* getListener() const { return mListener.load(std::memory_order_acquire); }

    std::atomic<OperateMode> mOperateMode{AsynchronousOperate};
    std::atomic<unsigned int> mReadIntervalTimeoutMS{0};
    std::atomic<unsigned int> mMinByteReadNotify{1};
    std::atomic<unsigned int> mByteReadBufferFullNotify{0};

private:
    std::atomic<int> mLastError{ErrorOK};
    std::atomic<CSerialPortListener*> mListener{nullptr};
};

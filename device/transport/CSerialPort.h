#pragma once
#include "device/transport/CSerialPortBase.h"

#include <memory>

// The serial port the application uses: a thin facade that forwards every
// call to its platform implementation (CSerialPortUnixBase). Without an
// implementation every call fails with ErrorNullPointer.
class CSerialPort {
public:
    CSerialPort();
    explicit CSerialPort(std::unique_ptr<CSerialPortBase> impl);
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    void init(const char* portName, int baudRate = 9600, Parity parity = ParityNone,
              DataBits dataBits = DataBits8, StopBits stopbits = StopOne, FlowControl flowControl = FlowNone,
              unsigned int readBufferSize = 4096);
    void setOperateMode(OperateMode operateMode = AsynchronousOperate);
    bool open();
    void close();
    bool isOpen();
    int connectReadEvent(CSerialPortListener* listener);
    int disconnectReadEvent();
    unsigned int getReadBufferUsedLen();
    int readData(void* data, int size);
    int readAllData(void* data, int size);
    int readLineData(void* data, int size);
    int writeData(const void* data, int size);
    void setDebugModel(bool isDebug);
    void setReadIntervalTimeout(unsigned int msecs);
    unsigned int getReadIntervalTimeout();
    void setMinByteReadNotify(unsigned int minByteReadNotify);
    unsigned int getMinByteReadNotify();
    void setByteReadBufferFullNotify(unsigned int byteReadBufferFullNotify);
    unsigned int getByteReadBufferFullNotify();
    bool flushBuffers();
    bool flushReadBuffers();
    bool flushWriteBuffers();
    int getLastError() const;
    const char* getLastErrorMsg() const;
    void clearError();
    void setPortName(const char* portName);
    const char* getPortName() const;
    void setBaudRate(int baudRate);
    int getBaudRate() const;
    void setParity(Parity parity);
    Parity getParity() const;
    void setDataBits(DataBits dataBits);
    DataBits getDataBits() const;
    void setStopBits(StopBits stopbits);
    StopBits getStopBits() const;
    void setFlowControl(FlowControl flowControl);
    FlowControl getFlowControl() const;
    void setReadBufferSize(unsigned int size);
    unsigned int getReadBufferSize() const;
    void setDtr(bool set = true);
    void setRts(bool set = true);

private:
    std::unique_ptr<CSerialPortBase> mImpl;
};

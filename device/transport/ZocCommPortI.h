#pragma once
#include "device/transport/CSerialPortListener.h"
#include "device/transport/ZocCaptureResponse.h"

#include <memory>
#include <string>

// The message channel's serial port: one instance, owned by the Tovi device
// session. It is the port's read listener and feeds the message channel.
class ZocCommPortI : public CSerialPortListener {
public:
    ~ZocCommPortI() override = default;

    virtual ZocCaptureResponse Open(const std::string& portName) = 0;
    virtual void Close() = 0;
    // Close, wait 10 ms, open the same port again.
    virtual ZocCaptureResponse ReOpen() = 0;
    virtual bool IsOpened() = 0;
    // Always false for this port.
    virtual bool IsBusy() = 0;
    // Bytes read, or a negative error.
    virtual int Read(void* bytes, int length) = 0;
    // Bytes written, or a value below 1 on failure (an unplugged Tovi is
    // detected and disconnected here).
    virtual int Write(const void* bytes, int length) = 0;

    static std::unique_ptr<ZocCommPortI> CreateInstance();
};

#pragma once
#include "device/transport/CSerialPort.h"
#include "device/transport/ZocCommPortI.h"

#include <functional>
#include <string>

// The Tovi's serial port: a CSerialPort set up for the Tovi, feeding what it
// receives into the message channel and telling an unplugged Tovi from a
// failing write. While it exists it is the channel's port.
class ZocCommPort : public ZocCommPortI {
public:
    static constexpr unsigned int kReadBufferSize = 40960;
    static constexpr int kReadChunk = 1024;

    ZocCommPort();
    ~ZocCommPort() override;

    ZocCaptureResponse Open(const std::string& portName) override;
    void Close() override;
    ZocCaptureResponse ReOpen() override;
    bool IsOpened() override;
    bool IsBusy() override { return false; }
    int Read(void* bytes, int length) override;
    int Write(const void* bytes, int length) override;
    // Read monitor thread: hands the announced bytes to the channel in reads
    // of at most 1024 bytes; stops as soon as a read returns nothing.
    void onReadEvent(const char* portName, unsigned int readBufferLen) override;

    CSerialPort& GetSerialPort() { return mPort; }

    // Unplug handling: whether the port's device still exists (default: it is
    // still among the Tovi serial candidates, ZocToviDeviceInfo::IsCommExist)
    // and how to disconnect the session after an unplug (set by the session).
    struct UnplugHooks {
        std::function<bool(const std::string& path)> isCommExist;
        std::function<void()> disconnectUnplugged;
    };
    static inline UnplugHooks unplugHooks;

private:
    CSerialPort mPort;
    static uint8_t sReadBuffer[kReadChunk]; // read monitor thread only
};

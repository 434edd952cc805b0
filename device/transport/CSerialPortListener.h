#pragma once

// Told by a serial port when received bytes are waiting in its read buffer.
class CSerialPortListener {
public:
    virtual ~CSerialPortListener() = default;
    // Runs on the port's read-monitor thread.
    virtual void onReadEvent(const char* portName, unsigned int readBufferLen) = 0;
};

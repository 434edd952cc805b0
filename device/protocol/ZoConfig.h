#pragma once
#include <cstdint>

// Configuration values carried inside message bodies (one byte each on the wire).
namespace ZoConfig {

// Mode of one side GPIO pin (ToviSideGpio / ToviSidePorts).
enum class GpioMode : uint8_t {
    Disabled = 0, // no parameters
    Input = 1,    // u8 pull-up (0/1), u8 pull-down (0/1)
    Output = 2,   // u8 level (0 low, 1 high)
    Pulse = 3,    // u8 level to pulse to, u32 width in ms
    Mode4 = 4,    // u32 (no user interface)
    Mode5 = 5,    // u32, u16 (no user interface)
};

// Where the Tovi routes the virtual serial port or the terminal.
enum class VPortMode : uint8_t {
    Disabled = 0,
    UsbCdc = 1,   // the USB serial (CDC) port the Tovi presents to the target
    SideUart = 2, // the side UART pins
};

} // namespace ZoConfig

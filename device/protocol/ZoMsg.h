#pragma once
#include "device/protocol/ZoConfig.h"

#include <bit>
#include <cstddef>
#include <cstdint>

// Wire format of the control protocol spoken with a Tovi over its USB serial
// port. One message is one frame:
//
//   preamble 3C 5A A5 C3 | head (8) | body (size bytes) | postamble C9 6D D6 9C
//
// All integers are little-endian and every record is packed; the host is
// little-endian too, so the records are read and written in place.
static_assert(std::endian::native == std::endian::little, "wire records are little-endian in place");

namespace ZoMsg {

// The protocol version this application speaks (ToviInfo message version).
constexpr uint16_t kVersionMajor = 1;
constexpr uint16_t kVersionMinor = 4;

constexpr uint32_t Preamble = 0xC3A55A3Cu;  // bytes 3C 5A A5 C3
constexpr uint32_t Postamble = 0x9CD66DC9u; // bytes C9 6D D6 9C
constexpr uint8_t kPreambleBytes[4] = {0x3C, 0x5A, 0xA5, 0xC3};
constexpr uint8_t kPostambleBytes[4] = {0xC9, 0x6D, 0xD6, 0x9C};

// Largest body accepted on receipt; a larger size field is a framing error.
constexpr size_t kMaxBodySize = 1088;

// Message types. A reply carries the type of its request.
enum class Type : uint16_t {
    Disconnect = 20,           // App->T empty
    TxFrameRateFactor = 50,    // App->T u32 factor
    ToviInfo = 100,            // T->App Body::ToviInfo, 4..131 bytes
    ToviState = 101,           // T->App Body::ToviState
    ToviConfig = 120,          // App->T Body::ToviConfig (head flags 2)
    Ping = 200,                // App->T Body::PingType; T->App ignored
    ToviLog = 300,             // T->App u16 level + text; App->T empty (test)
    Keyboard = 400,            // App->T Body::Keyboard
    Mouse = 410,               // App->T Body::Mouse
    PasteText = 420,           // App->T text bytes, at most 1000
    KeyboardLegacyMode = 430,  // App->T u8 1 legacy now / 0 normal
    VCommData = 510,           // App->T Body::VCommData (always 260); T->App data bytes
    VTermData = 511,           // both: data bytes
    SidePorts = 550,           // App->T Body::ToviSidePorts (firmware before 1.16)
    SideGpio = 551,            // App->T Body::ToviSideGpio
    MscDiskControl = 610,      // App->T MscDisk::Command [+ MscDisk::Info]; T->App u8 result
    DiskRead10 = 650,          // T->App Body::DiskAccess; App->T i32 result + data
    DiskWrite10 = 660,         // T->App Body::DiskAccess + data; App->T i32 result
    Reboot = 3000,             // App->T empty; T->App acknowledgement
    RebootToUsbStorage = 3010, // App->T empty
    FwUpdateBegin = 4110,      // App->T u32 image length; T->App u16 sectors to erase
    EraseFlash = 4115,         // App->T u16 sector; T->App u16 sector erased
    WriteFlash = 4120,         // App->T Body::FlashData + 256 bytes; T->App u16 block
    GetFwCrc = 4130,           // App->T u32 image length; T->App u32 CRC-32
    FwUpdateFinish = 4150,     // App->T ZoFirmwareInfo; T->App acknowledgement
};

constexpr uint16_t ToU16(Type type) {
    return static_cast<uint16_t>(type);
}

#pragma pack(push, 1)

// The 8-byte head between the preamble and the body.
struct Head {
    uint8_t flags = 0; // 2 for ToviConfig, 0 otherwise; not examined on receipt
    uint8_t crc = 0;   // CRC-8 of the body; 0 = empty body or not checked
    uint16_t seq = 0;  // sequence number
    uint16_t type = 0; // ZoMsg::Type (kept raw: unknown types arrive too)
    uint16_t size = 0; // body size in bytes
};

// Frame bytes around the body: preamble, head, postamble.
constexpr size_t kFrameOverhead = 4 + sizeof(Head) + 4;

namespace Body {

// USB HID boot-keyboard input report.
struct Keyboard {
    uint8_t modifiers = 0;
    uint8_t reserved = 0;
    uint8_t keys[6] = {}; // usage codes, 0 = none
};

// Relative mouse report.
struct Mouse {
    enum : uint8_t { kLeft = 1, kRight = 2, kMiddle = 4 };
    uint8_t buttons = 0;
    int8_t x = 0;
    int8_t y = 0;
    int8_t wheel = 0;  // vertical
    int8_t hWheel = 0; // horizontal
};

struct PingType {
    enum : uint16_t {
        kRequestInfo = 1, // asks for the ToviInfo report
        kKeepAlive = 2,   // once the report has arrived
    };
    uint16_t kind = kKeepAlive;
};

// Configuration record sent as the ToviConfig message (type 120).
struct ToviConfig {
    struct Features {
        ZoConfig::VPortMode vCommMode = ZoConfig::VPortMode::Disabled; // virtual serial port routing
        ZoConfig::VPortMode vTermMode = ZoConfig::VPortMode::Disabled; // terminal routing
        uint32_t enabledList = 0; // bit 1: USB serial (CDC) port toward the target enabled
    };

    uint16_t logLevel = 2;    // level of the Tovi's ToviLog output
    uint8_t logCommInput = 0; // debug switches, 0/1
    uint8_t logCommOutput = 0;
    uint8_t logKeyboard = 0;
    uint8_t logMouse = 0;
    uint8_t reserved[2] = {};
    Features features;
    uint32_t stateReportInterval = 200; // ms
    uint8_t byte18 = 0x30;              // not used by the application, always 48
    uint8_t forceKeyboardInLegacyMode = 0;
};

// Information report of the Tovi (type 100). Shorter reports fill a prefix.
struct ToviInfo {
    static constexpr size_t kBoardNameSize = 64;
    static constexpr size_t kLabelSize = 21;
    enum : uint32_t { kFeatureUsbCdc = 1u << 1 };

    uint16_t messageVersionMajor = kVersionMajor;
    uint16_t messageVersionMinor = kVersionMinor;
    uint64_t uid = 0; // nonzero once a report has arrived
    char boardName[kBoardNameSize] = {};
    uint16_t bootVersionMajor = 0;
    uint16_t bootVersionMinor = 0;
    char bootLabel[kLabelSize] = {};
    uint16_t firmwareVersionMajor = 0;
    uint16_t firmwareVersionMinor = 0;
    char firmwareLabel[kLabelSize] = {};
    uint8_t sku = 0;
    uint32_t features = 0;
};

// State report of the Tovi (type 101).
struct ToviState {
    enum : uint64_t { kKeyboardLegacyMode = 1u << 1 };
    uint64_t states = 0;
    // Two bits per side pin p: bit 2p+1 = level valid (input pin), bit 2p = level.
    uint8_t pinLevels = 0;
    uint8_t temperature = 0; // degrees C
};

// One side GPIO pin command (type 551).
struct ToviSideGpio {
    uint8_t pin = 0; // 0..3
    ZoConfig::GpioMode mode = ZoConfig::GpioMode::Disabled;
    uint8_t params[6] = {}; // mode parameters, unused bytes 0
};

// All four side pins at once (type 550, firmware before 1.16).
struct ToviSidePorts {
    struct Entry {
        ZoConfig::GpioMode mode = ZoConfig::GpioMode::Disabled;
        uint8_t params[6] = {}; // as ToviSideGpio::params
    };
    Entry pins[4];
};

namespace MscDisk {
struct Command {
    enum : uint8_t { kInserted = 1, kEjected = 2 };
    uint8_t command = 0;
    uint8_t reserved = 0;
};
struct Info {
    uint32_t bytesPerSector = 0;
    uint32_t sectorCount = 0;
};
} // namespace MscDisk

// Block read/write request of the Tovi (types 650 and 660; 660 is followed by the data).
struct DiskAccess {
    uint32_t offset = 0;
    uint32_t length = 0;
};

// Head of a WriteFlash body; 256 image bytes follow.
struct FlashData {
    uint16_t blockIndex = 0; // covers image bytes 256*b .. 256*b+255
    uint32_t crc32 = 0;      // CRC-32 of those 256 bytes
};

// Virtual serial port data from the application: always 260 bytes.
struct VCommData {
    static constexpr size_t kDataSize = 256;
    int32_t count = 0; // data bytes in use
    uint8_t data[kDataSize] = {};
};

} // namespace Body
#pragma pack(pop)

} // namespace ZoMsg

static_assert(sizeof(ZoMsg::Head) == 8);
static_assert(offsetof(ZoMsg::Head, seq) == 2 && offsetof(ZoMsg::Head, type) == 4 &&
              offsetof(ZoMsg::Head, size) == 6);
static_assert(ZoMsg::kFrameOverhead == 16);
static_assert(sizeof(ZoMsg::Body::Keyboard) == 8);
static_assert(sizeof(ZoMsg::Body::Mouse) == 5);
static_assert(sizeof(ZoMsg::Body::PingType) == 2);
static_assert(sizeof(ZoMsg::Body::ToviConfig) == 20);
static_assert(offsetof(ZoMsg::Body::ToviConfig, features) == 8);
static_assert(offsetof(ZoMsg::Body::ToviConfig, stateReportInterval) == 14);
static_assert(offsetof(ZoMsg::Body::ToviConfig, byte18) == 18);
static_assert(sizeof(ZoMsg::Body::ToviInfo) == 131);
static_assert(offsetof(ZoMsg::Body::ToviInfo, boardName) == 12);
static_assert(offsetof(ZoMsg::Body::ToviInfo, bootVersionMajor) == 76);
static_assert(offsetof(ZoMsg::Body::ToviInfo, bootLabel) == 80);
static_assert(offsetof(ZoMsg::Body::ToviInfo, firmwareVersionMajor) == 101);
static_assert(offsetof(ZoMsg::Body::ToviInfo, firmwareLabel) == 105);
static_assert(offsetof(ZoMsg::Body::ToviInfo, sku) == 126);
static_assert(offsetof(ZoMsg::Body::ToviInfo, features) == 127);
static_assert(sizeof(ZoMsg::Body::ToviState) == 10);
static_assert(sizeof(ZoMsg::Body::ToviSideGpio) == 8);
static_assert(sizeof(ZoMsg::Body::ToviSidePorts) == 28);
static_assert(sizeof(ZoMsg::Body::MscDisk::Command) == 2);
static_assert(sizeof(ZoMsg::Body::MscDisk::Info) == 8);
static_assert(sizeof(ZoMsg::Body::DiskAccess) == 8);
static_assert(sizeof(ZoMsg::Body::FlashData) == 6);
static_assert(sizeof(ZoMsg::Body::VCommData) == 260);

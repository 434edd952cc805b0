#pragma once
#include <string>
#include <vector>

// Simulated Tovis announced by tovi-sim in the runtime registry:
//   $XDG_RUNTIME_DIR/zorvanetovi/devices/ID.json  (or /tmp/zorvanetovi-UID/devices/)
// Entries are untrusted: every field is checked for type, and an entry whose
// process is gone or that does not parse is skipped.
class ZomSimDeviceRegistry {
public:
    struct Entry {
        std::string id;
        std::string serial;     // pseudo-terminal path
        std::string cameraName; // empty without a camera
        std::string cameraShm;
        std::string audioName; // empty without audio
        std::string audioShm;
        std::string hidSocket; // empty without HID
        int hidVendorId = 0;
        int hidProductId = 0;
        std::string hidSerial;
        std::string control;
        long pid = 0;
    };

    // The registry folder (override with ZT_SIM_REGISTRY for tests).
    static std::string GetBaseDir();
    // Live entries, sorted by id.
    static std::vector<Entry> List();
    // Parses one entry's text; false when it is not a usable entry.
    static bool Parse(const std::string& text, Entry& entry);
};

#pragma once
#include <string>
#include <vector>

// The runtime registry of simulated Tovis and the folder of their sockets.
//
//   BASE = $XDG_RUNTIME_DIR/zorvanetovi  (or /tmp/zorvanetovi-UID when
//          XDG_RUNTIME_DIR is unset or unusable; both mode 0700, owned by us)
//   BASE/devices/ID.json  one entry per plugged-in simulated Tovi
//   BASE/sim/ID.ctl       its control socket (present while it runs, also unplugged)
//   BASE/sim/ID.hid       its HID endpoint (while plugged in)
//
// Entry fields (JSON object):
//   "format": 1                     entry format version
//   "id": "1A2B3C4D17"              the Tovi id (see ZotSimIdentity)
//   "uid": "0x..."                  the unique id of its ToviInfo report, hexadecimal text
//   "pid": 1234                     the simulator's process id; an entry whose process is gone is stale
//   "serial": "/dev/pts/5"          the serial (pseudo-terminal) device to open
//   "camera": {"name": "Tovi (ID)", "shm": "/zorvanetovi-...-camera", "format": "YUY2",
//              "width": 1920, "height": 1080, "fps": 60}   (absent with --no-video)
//   "audio":  {"name": "Tovi (ID)", "shm": "/zorvanetovi-...-audio", "format": "S16LE",
//              "rate": 48000, "channels": 2}               (absent with --no-audio)
//   "hid":    {"socket": "BASE/sim/ID.hid", "vendorId": 13407, "productId": 8496, "serial": "ID"}
//   "control": "BASE/sim/ID.ctl"
// Entries are written whole (temporary file, then rename), so a reader never
// sees half an entry. Readers must treat entries as untrusted input.
class ZotSimRegistry {
public:
    // Picks BASE (from `override` when not empty) and creates the folders.
    bool Initialize(const std::string& override, std::string& error);

    const std::string& GetBaseDir() const { return mBase; }
    std::string EntryPath(const std::string& id) const { return mBase + "/devices/" + id + ".json"; }
    std::string SocketPath(const std::string& id, const char* suffix) const {
        return mBase + "/sim/" + id + suffix;
    }

    bool Write(const std::string& id, const std::string& json, std::string& error) const;
    void Remove(const std::string& id) const;
    bool Exists(const std::string& id) const;

    // The default BASE for this user.
    static std::string DefaultBaseDir();
    // Removes entries (and sockets) left by simulators that died without
    // cleaning up: their process is gone.
    void RemoveStaleEntries() const;
    // Ids with a control socket in BASE/sim/ (running simulators, possibly stale).
    std::vector<std::string> ListControlIds() const;

private:
    static bool MakePrivateDir(const std::string& path, std::string& error);

    std::string mBase;
};

#pragma once
#include "sim/ZotSimAudio.h"
#include "sim/ZotSimCamera.h"
#include "sim/ZotSimControl.h"
#include "sim/ZotSimEventLog.h"
#include "sim/ZotSimHid.h"
#include "sim/ZotSimOptions.h"
#include "sim/ZotSimRegistry.h"
#include "sim/ZotSimTarget.h"

#include <memory>
#include <mutex>
#include <string>

class ZotSimLink;

// One simulated Tovi: its identity, the target behind it, and the endpoints it
// offers while plugged in (serial link, camera, audio, HID, registry entry).
// The control socket stays up while unplugged so that `replug` can reach it.
//
// Threads: the control thread (Run) handles commands and plugs/unplugs; the
// link, camera, audio and HID threads belong to their objects.
class ZotSimDevice {
public:
    explicit ZotSimDevice(const ZotSimOptions& options);
    ~ZotSimDevice();

    // Registry folder, id, control socket, then plugs in.
    bool Start(std::string& error);
    // Serves the control socket until `quit` or RequestQuit.
    void Run();
    // Async-signal-safe.
    void RequestQuit() { mControl.Stop(); }
    // Unplugs and closes the control socket (also done by the destructor).
    void Shutdown();

    std::string HandleCommand(const std::string& line);

    const std::string& GetId() const { return mId; }
    const ZotSimRegistry& GetRegistry() const { return mRegistry; }

private:
    bool Plug(std::string& error);
    void Unplug();
    std::string RegistryJson() const;
    std::string Status() const;
    std::string ShmName(const char* stream) const;
    static void RemoveStaleShm();

    ZotSimOptions mOptions;
    ZotSimEventLog mLog;
    ZotSimRegistry mRegistry;
    ZotSimTarget mTarget;
    ZotSimCamera mCamera;
    ZotSimAudio mAudio;
    ZotSimHid mHid;
    ZotSimControl mControl;
    std::unique_ptr<ZotSimLink> mLink;
    uint64_t mUid = 0;
    std::string mId;
    bool mPlugged = false;
    bool mQuit = false;
    std::string mSerialPath;
};

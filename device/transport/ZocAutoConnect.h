#pragma once
#include "device/transport/ZocToviDeviceInfo.h"

#include <memory>
#include <mutex>
#include <string>

// The "general.autoConnect" setting: connect by ourselves when a discovery
// scan finds exactly one Tovi and nothing is connected. A Tovi that was
// connected (or tried) is not connected again by itself until it has been
// unplugged: either a disconnect found it gone, or a later scan no longer
// lists it. Only fresh scan results count, so a list from before a
// disconnect never triggers a connect.
class ZocAutoConnect {
public:
    // Main loop, after starting a scan: true when the caller should connect
    // now. `list` is discovery's current list (a new object per scan).
    static bool Check(const std::shared_ptr<const ZocToviDeviceInfo::ToviInfoList>& list, bool enabled,
                      bool anyConnected);
    // The session came up with the Tovi `id`.
    static void OnConnected(const std::string& id);
    // The session with `id` went down; `lost` when the Tovi is gone.
    static void OnDisconnected(const std::string& id, bool lost);
    // Forgets everything (tests).
    static void Reset();

private:
    static inline std::mutex sMutex;
    static inline std::shared_ptr<const ZocToviDeviceInfo::ToviInfoList> sLastList;
    static inline std::string sBlockedId;
    static inline bool sNeedFreshList = false;
};

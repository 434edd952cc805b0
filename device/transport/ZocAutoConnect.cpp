#include "device/transport/ZocAutoConnect.h"

#include "app/ZocLog.h"

#include <algorithm>

bool ZocAutoConnect::Check(const std::shared_ptr<const ZocToviDeviceInfo::ToviInfoList>& list, bool enabled,
                           bool anyConnected) {
    std::lock_guard lock(sMutex);
    if (!list || list == sLastList)
        return false; // no new scan result
    // Keep the list alive so that its address cannot come back for a later one.
    sLastList = list;
    if (sNeedFreshList) {
        sNeedFreshList = false;
        return false;
    }
    if (!sBlockedId.empty() &&
        std::none_of(list->begin(), list->end(),
                     [](const ZocToviDeviceInfo::ToviInfo& tovi) { return tovi.id == sBlockedId; }))
        sBlockedId.clear(); // it was unplugged
    if (!enabled || anyConnected || list->size() != 1 || list->front().id == sBlockedId)
        return false;
    sBlockedId = list->front().id;
    ZocLog::Application().Info("Auto-connecting to Tovi %s", sBlockedId.c_str());
    return true;
}

void ZocAutoConnect::OnConnected(const std::string& id) {
    std::lock_guard lock(sMutex);
    sBlockedId = id;
}

void ZocAutoConnect::OnDisconnected(const std::string& id, bool lost) {
    std::lock_guard lock(sMutex);
    if (lost && sBlockedId == id)
        sBlockedId.clear();
    // The list of the scan before the disconnect may still name the Tovi.
    sNeedFreshList = true;
}

void ZocAutoConnect::Reset() {
    std::lock_guard lock(sMutex);
    sLastList.reset();
    sBlockedId.clear();
    sNeedFreshList = false;
}

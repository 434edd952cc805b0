#include "device/transport/ZocToviDeviceInfo.h"

#include "app/ZocGlobals.h"
#include "app/ZocLog.h"
#include "app/ZocSettings.h"
#include "app/ZocUtils.h"
#include "device/transport/ZocToviUtils.h"
#include "media/ZocMicrophone.h"
#include "media/ZocVideoCapture.h"
#include "platform/linux/ZomCamera.h"
#include "platform/linux/ZomDeviceUtils.h"
#include "platform/linux/ZomVideoTool.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>

namespace {
// Per-process caches of the scan thread.
struct ScanCaches {
    std::vector<ZocToviDeviceInfo::CommInfo> probeCache;
    std::vector<ZocToviDeviceInfo::CommInfo> lastCandidates;
    std::vector<std::string> lastAudioIds;
    std::vector<std::string> lastVideoIds;
    bool settled = true;
    std::string lastTitleId;
};
ScanCaches& Caches() {
    static ScanCaches caches;
    return caches;
}

uint32_t HexPrefixValue(const std::string& id) {
    std::string digits;
    for (char c : id) {
        if (digits.size() == 8 || !std::isxdigit(static_cast<unsigned char>(c)))
            break;
        digits += c;
    }
    return digits.empty() ? 0 : uint32_t(std::strtoul(digits.c_str(), nullptr, 16));
}
} // namespace

const char* ZocToviDeviceInfo::GetStatusText(int status) {
    switch (status) {
    case NoTovi:
        return "No Tovi detected.";
    case OneTovi:
        return "A Tovi is plugged in.";
    case SeveralTovis:
        return "Multiple Tovis detected, select one from Settings.";
    case NoCamera:
        return "Can't connect to the Tovi. Are you using a USB 2 port/cable?";
    case CameraDenied:
        return "No permission to access Tovi Camera device.";
    case CameraMaybeDenied:
        return "May not have permission to access Tovi Camera device.";
    case Resetting:
        return "Resetting due to (un)plugging of the Tovi.";
    default:
        return "";
    }
}

void ZocToviDeviceInfo::Initialize() {
    std::lock_guard lock(sMutex);
    sList = std::make_shared<ToviInfoList>();
    sStatus = NoTovi;
}

void ZocToviDeviceInfo::Finalize() {
    std::lock_guard lock(sThreadMutex);
    if (sScanThread.joinable())
        sScanThread.join();
}

bool ZocToviDeviceInfo::ScanDevice() {
    std::lock_guard lock(sThreadMutex);
    if (sScanning.load())
        return true;
    if (sScanThread.joinable())
        sScanThread.join();
    sScanning = true;
    sScanThread = std::thread([] {
        ScanDeviceProc();
        sScanning = false;
    });
    return false;
}

std::shared_ptr<const ZocToviDeviceInfo::ToviInfoList> ZocToviDeviceInfo::GetToviInfoList() {
    std::lock_guard lock(sMutex);
    return sList;
}

bool ZocToviDeviceInfo::GetSelectedTovi(const ToviInfoList* list,
                                        const std::function<void(const ToviInfo&)>& callback) {
    std::shared_ptr<const ToviInfoList> current;
    if (!list) {
        current = GetToviInfoList();
        list = current.get();
    }
    const ToviInfo* selected = nullptr;
    if (list->size() == 1) {
        selected = &list->front();
    } else if (list->size() > 1) {
        const std::string& wanted = ZocSettings::Instance().device.tovi.id;
        for (const ToviInfo& tovi : *list)
            if (tovi.id == wanted) {
                selected = &tovi;
                break;
            }
    }
    if (!selected)
        return false;
    if (callback)
        callback(*selected);
    return true;
}

void ZocToviDeviceInfo::GetToviCommDevices(std::vector<CommInfo>& list) {
    std::vector<std::string> paths;
    ZomDeviceUtils::Comm::GetDevices(paths);
    for (const std::string& path : paths)
        list.push_back({path, {}, 0});
}

bool ZocToviDeviceInfo::IsCommExist(const std::string& path) {
    std::vector<CommInfo> list;
    GetToviCommDevices(list);
    return std::any_of(list.begin(), list.end(), [&](const CommInfo& c) { return c.path == path; });
}

std::vector<std::string> ZocToviDeviceInfo::ReduceToIds(const std::vector<std::string>& names) {
    std::vector<std::string> ids;
    for (const std::string& name : names)
        ids.push_back(ZocUtils::String::GetLastBracedString(name));
    std::sort(ids.begin(), ids.end());
    return ids;
}

ZocToviDeviceInfo::ToviInfoList ZocToviDeviceInfo::FindToviBoards(const std::vector<CommInfo>& candidates,
                                                                  const ToviInfoList& records) {
    ToviInfoList paired;
    auto pair = [&](const CommInfo& comm, ToviInfo record) {
        record.commPort = comm.path;
        record.commSecondName = comm.secondName;
        paired.push_back(std::move(record));
    };
    if (records.size() == 1 && candidates.size() == 1) {
        pair(candidates.front(), records.front());
        return paired;
    }
    for (const CommInfo& comm : candidates) {
        if (comm.idHash == 0)
            continue;
        for (const ToviInfo& record : records)
            if (record.idHash == comm.idHash)
                pair(comm, record);
    }
    return paired;
}

void ZocToviDeviceInfo::ResetAudioSubSystem() {
    uint64_t start = SDL_GetTicks64();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0)
        ZocLog::System().Info("Audio device(s) changed, the sub-system was reset. timespan: %llu ms",
                              (unsigned long long)(SDL_GetTicks64() - start));
    else
        ZocLog::System().Error("Failed to re-initialize audio sub-system, error: %s", SDL_GetError());
}

void ZocToviDeviceInfo::ResetVideoSubSystem(bool markStatus) {
    if (markStatus)
        sStatus = Resetting;
    uint64_t start = SDL_GetTicks64();
    std::string error;
    if (ZomCamera::Reset(error))
        ZocLog::System().Info("The video sub-system was reset, timespan: %llu ms",
                              (unsigned long long)(SDL_GetTicks64() - start));
    else
        ZocLog::System().Error("Failed to reset video sub-system, timespan: %llu ms, error: %s",
                               (unsigned long long)(SDL_GetTicks64() - start), error.c_str());
    if (markStatus)
        sStatus = NoTovi;
}

void ZocToviDeviceInfo::CheckDeviceChange(const std::vector<CommInfo>& candidates,
                                          const std::vector<std::string>& audioIds,
                                          const std::vector<std::string>& videoIds) {
    ScanCaches& caches = Caches();
    bool commChanged = !ZocToviUtils::AreListsEqual(candidates, caches.lastCandidates);
    bool audioChanged = !ZocToviUtils::AreListsEqual(audioIds, caches.lastAudioIds);
    bool videoChanged = !ZocToviUtils::AreListsEqual(videoIds, caches.lastVideoIds);
    caches.lastCandidates = candidates;
    caches.lastAudioIds = audioIds;
    caches.lastVideoIds = videoIds;
    if (commChanged || audioChanged || videoChanged) {
        ZocLog::System().Info("Tovi device was changed (%d,%d,%d)", int(commChanged), int(audioChanged),
                              int(videoChanged));
        caches.settled = false;
        return;
    }
    if (caches.settled)
        return;
    caches.settled = true;
    ZocLog::System().Info("Tovi device was changed and stable");
    if (audioIds == videoIds) {
        ZocLog::System().Info("Tovi audio/video devices match");
        return;
    }
    // The system has not caught up with a plug or unplug: restart both.
    sStatus = Resetting;
    ResetAudioSubSystem();
    ResetVideoSubSystem(false);
    sStatus = NoTovi;
}

void ZocToviDeviceInfo::ScanDeviceProc() {
    ScanCaches& caches = Caches();

    // 1. Serial candidates, probed unless they answered before.
    std::vector<CommInfo> candidates;
    GetToviCommDevices(candidates);
    for (CommInfo& candidate : candidates) {
        auto cached =
            std::find_if(caches.probeCache.begin(), caches.probeCache.end(),
                         [&](const CommInfo& c) { return c.path == candidate.path && c.idHash != 0; });
        candidate.idHash = cached != caches.probeCache.end()
                               ? cached->idHash
                               : ZocToviUtils::GetToviIdHashSafe(candidate.path);
    }
    caches.probeCache = candidates;

    // 2, 3. Audio and video ids.
    std::vector<std::string> audioIds = ReduceToIds(ZocMicrophone::GetDeviceList(true));
    std::vector<std::string> videoIds = ReduceToIds(ZocVideoCaptureI::GetToviDevices());

    // 4. Change detection.
    CheckDeviceChange(candidates, audioIds, videoIds);

    // 5. A Tovi record for every camera with a matching audio input.
    ToviInfoList records;
    for (const std::string& id : videoIds) {
        if (std::find(audioIds.begin(), audioIds.end(), id) == audioIds.end())
            continue;
        ToviInfo record;
        record.idHash = HexPrefixValue(id);
        record.name = "Tovi " + id;
        record.id = id;
        records.push_back(std::move(record));
    }

    // 6. Camera effects.
    smIsCameraEffectEnabled = ZomVideoTool::IsCameraEffectEnabled();

    // 7. Pairing.
    auto list = std::make_shared<ToviInfoList>(FindToviBoards(candidates, records));

    // 8. Status.
    int status;
    if (list->size() == 1) {
        status = OneTovi;
    } else if (list->size() > 1) {
        status = SeveralTovis;
    } else if (candidates.empty()) {
        status = NoTovi;
    } else if (videoIds.empty()) {
        status = NoCamera;
    } else {
        status = NoTovi;
        ZocLog::System().Warn("No tovi found but individual devices found, comm/%zu, audio/%zu, video/%zu",
                              candidates.size(), audioIds.size(), videoIds.size());
    }
    ZocLog::System().Debug("Find %zu Tovi device(s), status: %d", list->size(), status);

    // 9. The window title names the Tovi that would be connected.
    if (ZocSettings::Instance().appearance.mainWindow.toviNameInTitle && !ZocGlobals::toviConnected) {
        std::string id;
        GetSelectedTovi(list.get(), [&](const ToviInfo& tovi) { id = tovi.id; });
        if (id != caches.lastTitleId) {
            caches.lastTitleId = id;
            ZocGlobals::titleDirty = true;
        }
    }

    // 10. Publish.
    std::lock_guard lock(sMutex);
    sStatus = status;
    sList = std::move(list);
}

void ZocToviDeviceInfo::ResetCaches() {
    Caches() = ScanCaches{};
}

#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Discovery of plugged-in Tovis. A Tovi shows up as three unrelated devices
// (serial bridge, camera, audio input); a background scan, started at most
// once a second while nothing is connected, pairs them into one record.
class ZocToviDeviceInfo {
public:
    enum Status : int {
        NoTovi = 0,
        OneTovi = 1,
        SeveralTovis = 2,
        NoCamera = 3,          // a Tovi serial port but no Tovi camera
        CameraDenied = 4,      // not produced by the scan
        CameraMaybeDenied = 5, // not produced by the scan
        Resetting = 6,         // audio and camera subsystems are being restarted
    };

    struct CommInfo {
        std::string path;
        std::string secondName; // always empty; compared in list equality
        uint32_t idHash = 0;    // 0 when unknown
        bool operator==(const CommInfo& o) const { return path == o.path && secondName == o.secondName; }
    };

    struct ToviInfo {
        uint32_t idHash = 0;
        std::string name; // "Tovi " + id
        std::string commPort;
        std::string commSecondName;
        std::string id; // characters 8 and 9 carry the A/V firmware version
    };
    using ToviInfoList = std::vector<ToviInfo>;

    static void Initialize();
    static void Finalize();
    // Starts a scan unless one runs; true when one was already running.
    static bool ScanDevice();
    static int GetStatus() { return sStatus.load(); }
    static std::shared_ptr<const ToviInfoList> GetToviInfoList();
    // Selects from `list` (the current list when null); calls `callback`
    // with the selected Tovi and returns true when one is selected.
    static bool GetSelectedTovi(const ToviInfoList* list,
                                const std::function<void(const ToviInfo&)>& callback);
    static bool IsCommExist(const std::string& path);
    static void GetToviCommDevices(std::vector<CommInfo>& list);
    static void LockCommPortToOpen() { sCommMutex.lock(); }
    static void UnLockCommPort() { sCommMutex.unlock(); }
    static void ResetVideoSubSystem(bool markStatus);
    static const char* GetStatusText(int status);

    // The scan itself, run synchronously (the scan thread calls it; tests too).
    static void ScanDeviceProc();
    // Pairs serial candidates with camera/audio records (exposed for tests).
    static ToviInfoList FindToviBoards(const std::vector<CommInfo>& candidates, const ToviInfoList& records);
    // Camera/audio device names reduced to sorted Tovi ids.
    static std::vector<std::string> ReduceToIds(const std::vector<std::string>& names);
    // Restores the process caches (tests).
    static void ResetCaches();

    static inline std::atomic<bool> smIsCameraEffectEnabled{false};

private:
    static void CheckDeviceChange(const std::vector<CommInfo>& candidates,
                                  const std::vector<std::string>& audioIds,
                                  const std::vector<std::string>& videoIds);
    static void ResetAudioSubSystem();

    static inline std::mutex sMutex;
    static inline std::shared_ptr<const ToviInfoList> sList = std::make_shared<ToviInfoList>();
    static inline std::atomic<int> sStatus{NoTovi};
    static inline std::mutex sCommMutex;
    static inline std::mutex sThreadMutex;
    static inline std::thread sScanThread;
    static inline std::atomic<bool> sScanning{false};
};

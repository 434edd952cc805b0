#pragma once
#include "app/ZocVersion.h"
#include "device/transport/ZocToviDeviceInfo.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

class ZocCommPortI;
class ZocAudioCaptureI;
class ZocVideoCaptureI;

// The session with one Tovi: its serial port, audio capture and video
// capture, and the capture thread that pumps audio and video while it is up.
// Connect and Disconnect are serialised by the session mutex; Disconnect may
// run on the main thread, the message output thread (unplug noticed by a
// failed write) and the capture thread (camera lost).
class ZocToviDevice {
public:
    enum ConnectionState : uint32_t { Down = 0, Up = 1, Capturing = 2 };

    // Creates the port and the captures, starts discovery and the capture thread.
    static void Initialize();
    // Stops discovery and the capture thread, disconnects, frees the
    // endpoints; safe to call again.
    static void Finalize();
    static void CreateThread();
    static void ShutdownThread();

    // Brings the selected Tovi up; false (after telling the operator) when
    // it could not. True when already connected.
    static bool Connect();
    // Takes the session down and resets the global Tovi information.
    // `unplugged`: the caller knows that the Tovi is gone.
    static void Disconnect(bool unplugged);
    // Connected when the capture thread runs and the serial port is open.
    static bool IsConnected();
    // Whether any of the serial port, audio capture or video capture is open.
    static bool IsAnyConnected();
    static ZocToviDeviceInfo::ToviInfo GetConnectedTovi();
    static uint32_t GetConnectionState() { return sState.load(); }

    // A thread that must not take the session down itself (the message input
    // thread: closing the port joins it) asks the main loop to do it.
    static void RequestDisconnect() { sDisconnectRequested = true; }
    // Main loop: disconnects when that was asked for. True when it did.
    static bool RunPendingDisconnect();

    // Whether the capture delivered a video frame since the last call (the
    // main loop repaints at once for a new frame).
    static bool TakeVideoFrameAvailable() { return sVideoFrameAvailable.exchange(false); }

    // Steps that belong to subsystems which plug themselves in here; each
    // is skipped while unset.
    struct Hooks {
        std::function<void()> setupAtxPins;                // after connecting
        std::function<void(bool open)> setVirtualCommPort; // after connecting: open or close it
        std::function<void()> unmountVirtualDisk;          // when disconnecting
        std::function<void()> stopHidCapture;              // when disconnecting while capture is active
    };
    static inline Hooks hooks;

    // The A/V firmware version carried by characters 8 and 9 of a Tovi id
    // (0.0 when the id is shorter than 10 characters).
    static ZocVersion GetAvFirmwareVersion(const std::string& id);
    // A/V firmware from 1.7 on takes the resolution command.
    static bool IsEdidSupported(const ZocVersion& avVersion);
    // The resolution to advertise from the video settings: the frame size
    // when syncing to the target, 4096 x 2160 with 4K input, else 0 x 0.
    static void GetEdidResolution(int& width, int& height);
    // The capture loop's pause between steps: 150 / rate ms, never below
    // 1 ms (a rate of 0 or above 150 would otherwise give 0 or a division
    // by zero).
    static int GetCaptureSleepMs(int refreshRate);

    // The endpoints (null before Initialize); for the parts that consume
    // frames and samples.
    static ZocVideoCaptureI* GetVideoCapture();
    static ZocAudioCaptureI* GetAudioCapture();
    static ZocCommPortI* GetCommPort();

private:
    static void CaptureLoop();
    // Wakes the capture loop from its wait for a connection (or the stop).
    static void WakeCaptureLoop();
    static void CloseAllLocked(bool deviceLost);
    static void ResetGlobals();

    static inline std::mutex sMutex; // Connect, Disconnect, the connected record
    static inline std::atomic<bool> sStop{true};
    static inline std::thread sThread;
    static inline std::mutex sThreadMutex; // CreateThread / ShutdownThread
    static inline std::atomic<uint32_t> sState{Down};
    static inline std::mutex sWakeMutex; // with sWake: the loop's wait while down
    static inline std::condition_variable sWake;
    static inline ZocToviDeviceInfo::ToviInfo sConnected;
    static inline std::atomic<bool> sDisconnectRequested{false};
    static inline std::atomic<bool> sInitialized{false};
    static inline std::atomic<bool> sVideoFrameAvailable{false};
};

#pragma once
#include "sim/ZotSimEventLog.h"
#include "sim/ZotSimFrameRenderer.h"
#include "sim/ZotSimMediaWriter.h"
#include "sim/ZotSimTarget.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

// The simulated Tovi's camera: a thread that draws the target's screen into
// the shared-memory ring at the frame rate, one sequence number per frame.
// When it falls behind it catches up by producing frames back to back (up to
// one second late; beyond that it restarts its clock), so readers that keep up
// see every sequence number. Frames are stamped with the CLOCK_MONOTONIC time
// they were due.
class ZotSimCamera {
public:
    ZotSimCamera(ZotSimTarget& target, ZotSimEventLog& log) : mTarget(target), mLog(log) {}
    ~ZotSimCamera() { Stop(); }

    bool Start(const std::string& shmName, int width, int height, int fps, int slots,
               const std::string& label, std::string& error);
    void Stop();
    bool IsRunning() const { return mThread.joinable(); }

    // Switches size and rate from the next frame on (a supported size is assumed).
    void SetMode(int width, int height, int fps);
    uint64_t GetFrameCount() const { return mFrames.load(); }
    std::string GetMode() const;
    void GetModeValues(int& width, int& height, int& fps) const;

private:
    void Run();
    void ApplyMode(int width, int height, int fps);
    void CheckRequest();

    ZotSimTarget& mTarget;
    ZotSimEventLog& mLog;
    ZotSimMediaWriter mWriter;
    ZotSimFrameRenderer mRenderer;
    std::string mLabel;
    std::thread mThread;
    mutable std::mutex mMutex; // guards the stop flag, the pending and the current mode
    std::condition_variable mWake;
    bool mStop = false;
    int mWidth = 0, mHeight = 0, mFps = 0;
    int mPendingWidth = 0, mPendingHeight = 0, mPendingFps = 0;
    uint16_t mLastRequest = 0;
    std::atomic<uint64_t> mFrames{0};
};

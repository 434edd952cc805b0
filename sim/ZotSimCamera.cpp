#include "sim/ZotSimCamera.h"

#include "sim/ZotSimOptions.h"

#include <chrono>

namespace {
constexpr int kMaxWidth = 1920, kMaxHeight = 1080;
} // namespace

bool ZotSimCamera::Start(const std::string& shmName, int width, int height, int fps, int slots,
                         const std::string& label, std::string& error) {
    Stop();
    ZotSimMediaWriter::Params p;
    p.kind = ZotSimMedia::Kind::Video;
    p.slotCount = uint32_t(slots);
    p.payloadCapacity = uint32_t(kMaxWidth * kMaxHeight * 2);
    p.maxWidth = kMaxWidth;
    p.maxHeight = kMaxHeight;
    if (!mWriter.Create(shmName, p, error))
        return false;
    mLabel = label;
    mLastRequest = 0;
    ApplyMode(width, height, fps);
    if (mWidth == 0) {
        error = "cannot draw a " + std::to_string(width) + "x" + std::to_string(height) + " frame";
        mWriter.Destroy();
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mStop = false;
        mPendingWidth = 0;
    }
    mThread = std::thread([this] { Run(); });
    return true;
}

void ZotSimCamera::Stop() {
    {
        std::lock_guard<std::mutex> lock(mMutex);
        mStop = true;
    }
    mWake.notify_all();
    if (mThread.joinable())
        mThread.join();
    mWriter.Destroy();
}

void ZotSimCamera::SetMode(int width, int height, int fps) {
    std::lock_guard<std::mutex> lock(mMutex);
    mPendingWidth = width;
    mPendingHeight = height;
    mPendingFps = fps;
}

std::string ZotSimCamera::GetMode() const {
    int w = 0, h = 0, f = 0;
    GetModeValues(w, h, f);
    return std::to_string(w) + "x" + std::to_string(h) + "@" + std::to_string(f);
}

void ZotSimCamera::GetModeValues(int& width, int& height, int& fps) const {
    std::lock_guard<std::mutex> lock(mMutex);
    width = mWidth;
    height = mHeight;
    fps = mFps;
}

// Camera thread (or Start before it runs).
void ZotSimCamera::ApplyMode(int width, int height, int fps) {
    bool ok = false;
    mTarget.WithState([&](const ZotSimConsole& console, const ZotSimMouse&) {
        ok = mRenderer.Configure(width, height, int(mWriter.GetSlotCount()), console, mLabel);
    });
    if (!ok)
        return;
    mTarget.SetScreen(width, height);
    std::lock_guard<std::mutex> lock(mMutex);
    mWidth = width;
    mHeight = height;
    mFps = fps;
}

// A reader's format request in the shared-memory header.
void ZotSimCamera::CheckRequest() {
    ZotSimMedia::Header* h = mWriter.GetHeader();
    const uint64_t request = h->request.load(std::memory_order_acquire);
    const uint16_t serial = ZotSimMedia::RequestSerial(request);
    if (serial == 0 || serial == mLastRequest)
        return;
    mLastRequest = serial;
    const int w = ZotSimMedia::RequestWidth(request), ht = ZotSimMedia::RequestHeight(request),
              f = ZotSimMedia::RequestFps(request);
    ZotSimMedia::RequestResult result = ZotSimMedia::RequestResult::Unsupported;
    if (ZotSimOptions::IsSupportedSize(w, ht) && f >= 1 && f <= 120) {
        ApplyMode(w, ht, f);
        result = ZotSimMedia::RequestResult::Applied;
        mLog.Add("camera: format %dx%d@%d requested by the reader", w, ht, f);
    } else {
        mLog.Add("camera: unsupported format %dx%d@%d requested by the reader", w, ht, f);
    }
    h->requestDone.store((uint64_t(serial) << 48) | uint64_t(result), std::memory_order_release);
}

void ZotSimCamera::Run() {
    using Clock = std::chrono::steady_clock;
    auto next = Clock::now();
    int fps = 0;
    for (;;) {
        int pw = 0, ph = 0, pf = 0;
        {
            std::unique_lock<std::mutex> lock(mMutex);
            if (mWake.wait_until(lock, next, [this] { return mStop; }))
                break;
            if (mPendingWidth != 0) {
                pw = mPendingWidth;
                ph = mPendingHeight;
                pf = mPendingFps;
                mPendingWidth = 0;
            }
        }
        if (pw != 0)
            ApplyMode(pw, ph, pf);
        CheckRequest();
        int px = 0, py = 0;
        mTarget.WithState([&](const ZotSimConsole& console, const ZotSimMouse& mouse) {
            mRenderer.UpdateConsole(console);
            px = mouse.GetX();
            py = mouse.GetY();
        });
        {
            std::lock_guard<std::mutex> lock(mMutex);
            fps = mFps;
        }
        const uint32_t slot = mWriter.NextSlotIndex();
        uint8_t* dst = mWriter.BeginSlot();
        const uint64_t frame = mFrames.load() + 1;
        mRenderer.RenderFrame(dst, slot, frame, px, py);
        const uint32_t pitch = uint32_t(mRenderer.GetPitch()), height = uint32_t(mRenderer.GetHeight());
        // Stamped with the moment the frame was due (its capture time), so the
        // stamps of a steady stream are evenly spaced even when delivery is late.
        const uint64_t stamp =
            uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(next.time_since_epoch()).count());
        mWriter.Publish(stamp, pitch * height, uint32_t(mRenderer.GetWidth()), height, pitch, uint32_t(fps));
        mFrames.store(frame);

        next += std::chrono::nanoseconds(1000000000LL / fps);
        const auto now = Clock::now();
        if (now - next > std::chrono::seconds(1))
            next = now; // far behind (stopped process, overloaded machine): start the clock again
    }
}

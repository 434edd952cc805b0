#pragma once
#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// A named periodic callback on SDL's timer thread. The callback's result is
// the next interval in milliseconds (0 stops the timer); once the application
// is quitting, the next tick removes the timer.
class ZocTimer {
public:
    using Callback = std::function<uint32_t()>;

    bool Start(const std::string& name, uint32_t intervalMs, Callback callback);
    void Stop();
    // Waits up to `ms` for a running callback to end.
    void WaitCallbackEnd(int ms);
    bool IsRunning() const { return mTimerId.load() != 0; }

private:
    static Uint32 OnTimer(Uint32 interval, void* param);

    std::string mName;
    Callback mCallback;
    std::atomic<SDL_TimerID> mTimerId{0};
    std::atomic<bool> mInCallback{false};
};

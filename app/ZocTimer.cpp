#include "app/ZocTimer.h"

#include "app/ZocGlobals.h"
#include "app/ZocLog.h"
#include "ui/ZocModalDialog.h"

bool ZocTimer::Start(const std::string& name, uint32_t intervalMs, Callback callback) {
    mName = name;
    mCallback = std::move(callback);
    SDL_TimerID id = SDL_AddTimer(intervalMs, &ZocTimer::OnTimer, this);
    if (id == 0) {
        ZocUi::ModalDialog::CreateTextBox("Start Timer", "Failed to start timer for " + name);
        return false;
    }
    mTimerId = id;
    return true;
}

Uint32 ZocTimer::OnTimer(Uint32, void* param) {
    auto* timer = static_cast<ZocTimer*>(param);
    timer->mInCallback = true;
    if (ZocGlobals::quitRequested) {
        // Returning 0 ends the timer; SDL frees it itself.
        timer->mTimerId = 0;
        timer->mInCallback = false;
        return 0;
    }
    uint32_t next = timer->mCallback ? timer->mCallback() : 0;
    if (next == 0)
        timer->mTimerId = 0;
    timer->mInCallback = false;
    return next;
}

void ZocTimer::Stop() {
    SDL_TimerID id = mTimerId.exchange(0);
    if (id)
        SDL_RemoveTimer(id);
}

void ZocTimer::WaitCallbackEnd(int ms) {
    SDL_Delay(10);
    for (int i = 0; i < 50 && mInCallback; ++i)
        SDL_Delay(Uint32(ms / 50));
    if (mInCallback)
        ZocLog::Application().Error("Timed out (%d ms) while waiting %s", ms, mName.c_str());
}

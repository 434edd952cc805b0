#include "app/ZocGlobals.h"

#include "app/ZocLog.h"
#include "app/ZocMainTimer.h"
#include "app/ZocSettings.h"
#include "device/protocol/ZocToviMsg.h"
#include "device/transport/ZocToviDevice.h"
#include "ui/ZocUi.h"

bool ZocGlobals::Initialize() {
    uint32_t event = SDL_RegisterEvents(1);
    if (event == uint32_t(-1))
        ZocLog::Application().Error("Failed to register the toolbar event, error: %s", SDL_GetError());
    else
        ZocEvent::Type::ToolbarSpace = event;
    ZocToviDevice::Initialize(); // with discovery and the capture thread
    ZocToviMsg::Initialize();
    return ZocMainTimer::Start();
}

void ZocGlobals::Finalize() {
    // The geometry is read while the window exists; the second call, after
    // the window is gone, leaves the settings as they are.
    if (window) {
        auto& geometry = ZocSettings::Instance().appearance.mainWindow;
        SDL_GetWindowPosition(window, &geometry.x, &geometry.y);
        SDL_GetWindowSize(window, &geometry.width, &geometry.height);
    }
    // The other subsystems' services stop here, in the reverse order of
    // their start, as they join Initialize.
    ZocMainTimer::Stop();
    ZocToviMsg::Shutdown();
    ZocToviMsg::WaitShutdown();
    ZocToviDevice::Finalize();
}

void ZocGlobals::Destroy() {}

bool ZocGlobals::IsVideoLargerThanDisplay(int frameWidth, int frameHeight, int displayWidth,
                                          int displayHeight) {
    return frameWidth > displayWidth || frameHeight > displayHeight - 150;
}

void ZocGlobals::UpdateDisplayInfo() {
    if (!window)
        return;
    int x = 0, y = 0;
    SDL_GetWindowPosition(window, &x, &y);
    uint32_t id = ZocUi::FindDisplay(x, y);
    displayId = id;
    SDL_DisplayMode mode;
    if (id != 0 && SDL_GetCurrentDisplayMode(int(id) - 1, &mode) == 0) {
        displayWidth = mode.w;
        displayHeight = mode.h;
    }
    const auto& video = ZocSettings::Instance().device.video;
    videoLargerThanDisplay =
        IsVideoLargerThanDisplay(video.frameWidth, video.frameHeight, displayWidth, displayHeight);
}

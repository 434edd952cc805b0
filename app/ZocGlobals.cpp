#include "app/ZocGlobals.h"

#include "app/ZocLog.h"
#include "ui/ZocUi.h"

bool ZocGlobals::Initialize() {
    uint32_t event = SDL_RegisterEvents(1);
    if (event == uint32_t(-1))
        ZocLog::Application().Error("Failed to register the toolbar event, error: %s", SDL_GetError());
    else
        ZocEvent::Type::ToolbarSpace = event;
    return true;
}

void ZocGlobals::Finalize() {}

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
}

#include "ui/ZocUiWindowTitle.h"

#include "app/ZocGlobals.h"
#include "app/ZocSettings.h"
#include "device/transport/ZocToviDevice.h"
#include "device/transport/ZocToviDeviceInfo.h"

std::string ZocUi::BuildWindowTitle(const std::string& id, const std::map<std::string, std::string>& names) {
    std::string title = "Zorvane Tovi " + id;
    auto it = names.find(id);
    if (it != names.end() && !it->second.empty())
        title += " - " + it->second;
    return title;
}

void ZocUi::UpdateWindowTitle() {
    const ZocSettings& settings = ZocSettings::Instance();
    if (!settings.appearance.mainWindow.toviNameInTitle || settings.device.tovi.names.empty())
        return;
    std::string id;
    if (ZocGlobals::toviConnected)
        id = ZocToviDevice::GetConnectedTovi().id;
    else
        ZocToviDeviceInfo::GetSelectedTovi(nullptr,
                                           [&](const ZocToviDeviceInfo::ToviInfo& tovi) { id = tovi.id; });
    if (ZocGlobals::window)
        SDL_SetWindowTitle(ZocGlobals::window, BuildWindowTitle(id, settings.device.tovi.names).c_str());
}

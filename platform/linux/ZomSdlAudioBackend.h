#pragma once
#include "platform/linux/ZomAudioBackendI.h"

// Recording devices of SDL's audio subsystem (needs SDL_INIT_AUDIO).
class ZomSdlAudioBackend : public ZomAudioBackendI {
public:
    void List(std::vector<std::string>& names) override;
    std::unique_ptr<ZomAudioInputI> Open(const std::string& name, std::string& error) override;
    bool Has(const std::string& name) override;
};

#pragma once
#include "platform/linux/ZomAudioBackendI.h"

// Audio inputs of simulated Tovis: the 48 kHz stereo stream tovi-sim
// publishes in shared memory, listed from the runtime registry.
class ZomSimAudioBackend : public ZomAudioBackendI {
public:
    void List(std::vector<std::string>& names) override;
    std::unique_ptr<ZomAudioInputI> Open(const std::string& name, std::string& error) override;
    bool Has(const std::string& name) override;
};

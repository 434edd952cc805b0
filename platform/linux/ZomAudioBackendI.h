#pragma once
#include "platform/linux/ZomAudioInputI.h"

#include <memory>
#include <string>
#include <vector>

// A source of audio inputs (SDL capture devices, simulated Tovis).
class ZomAudioBackendI {
public:
    virtual ~ZomAudioBackendI() = default;
    virtual void List(std::vector<std::string>& names) = 0;
    // Opens the input of exactly that name; null (with `error`) when this
    // backend has none or it fails.
    virtual std::unique_ptr<ZomAudioInputI> Open(const std::string& name, std::string& error) = 0;
    virtual bool Has(const std::string& name) = 0;
};

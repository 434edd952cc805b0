#include "media/ZocMicrophone.h"

#include "app/ZocLog.h"
#include "platform/linux/ZomAudio.h"

#include <regex>

bool ZocMicrophone::IsToviName(const std::string& name) {
    static const std::regex pattern(".*Tovi \\([0-9a-fA-F]+\\).*");
    return std::regex_match(name, pattern);
}

std::vector<std::string> ZocMicrophone::GetDeviceList(bool toviOnly) {
    std::vector<std::string> result;
    for (const std::string& name : ZomAudio::GetInputNames()) {
        ZocLog::Audio().Debug("Found audio: %s", name.c_str());
        if (IsToviName(name) == toviOnly)
            result.push_back(name);
    }
    return result;
}

std::string ZocMicrophone::GetDeviceIdByIdString(const std::string& idString) {
    for (const std::string& name : ZomAudio::GetInputNames())
        if (name.find(idString) != std::string::npos)
            return name;
    return {};
}

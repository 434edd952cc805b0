#include "media/ZocMicrophone.h"

#include "app/ZocLog.h"
#include "platform/linux/ZomAudio.h"

#include <cctype>

bool ZocMicrophone::IsToviName(const std::string& name) {
    // Anywhere in the name: "Tovi (", one or more hexadecimal digits, ")".
    static const std::string kOpen = "Tovi (";
    for (size_t at = name.find(kOpen); at != std::string::npos; at = name.find(kOpen, at + 1)) {
        size_t i = at + kOpen.size();
        size_t digits = 0;
        while (i < name.size() && std::isxdigit(static_cast<unsigned char>(name[i]))) {
            ++i;
            ++digits;
        }
        if (digits > 0 && i < name.size() && name[i] == ')')
            return true;
    }
    return false;
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

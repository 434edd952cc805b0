#include "platform/linux/ZomDeviceUtils.h"

#include "app/ZocLog.h"
#include "platform/linux/ZomSimDeviceRegistry.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::mutex gRootsMutex;
std::string gSysfsRoot = "/sys";
std::string gDevRoot = "/dev";
bool gUseSimulated = true;

std::pair<std::string, std::string> Roots() {
    std::lock_guard lock(gRootsMutex);
    return {gSysfsRoot, gDevRoot};
}

std::vector<std::string> ListDir(const std::string& path, int* error = nullptr) {
    std::vector<std::string> names;
    DIR* dir = opendir(path.c_str());
    if (!dir) {
        if (error)
            *error = errno;
        return names;
    }
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool ReadLine(const std::string& path, std::string& value) {
    std::ifstream in(path);
    if (!in || !std::getline(in, value))
        return false;
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r' || value.back() == ' '))
        value.pop_back();
    return true;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool HexToDecimal(const std::string& hex, std::string& decimal) {
    if (hex.empty() || hex.size() > 8)
        return false;
    char* end = nullptr;
    unsigned long value = std::strtoul(hex.c_str(), &end, 16);
    if (*end != '\0')
        return false;
    decimal = std::to_string(value);
    return true;
}

// tty nodes below one interface folder: "ttyUSB0" directly (usb-serial
// drivers) or inside "tty/" (cdc-acm).
void CollectTtys(const std::string& interfacePath, std::vector<std::string>& ttys) {
    for (const std::string& name : ListDir(interfacePath))
        if (name.rfind("tty", 0) == 0 && name != "tty")
            ttys.push_back(name);
    for (const std::string& name : ListDir(interfacePath + "/tty"))
        ttys.push_back(name);
}
} // namespace

bool ZomDeviceUtils::UseSimulated() {
    std::lock_guard lock(gRootsMutex);
    return gUseSimulated;
}

void ZomDeviceUtils::SetUseSimulated(bool use) {
    std::lock_guard lock(gRootsMutex);
    gUseSimulated = use;
}

void ZomDeviceUtils::SetRoots(const std::string& sysfsRoot, const std::string& devRoot) {
    std::lock_guard lock(gRootsMutex);
    gSysfsRoot = sysfsRoot;
    gDevRoot = devRoot;
}

bool ZomDeviceUtils::Usb::ForEachDevice(const std::function<bool(const Properties&)>& callback) {
    std::string devices = Roots().first + "/bus/usb/devices";
    int error = 0;
    auto names = ListDir(devices, &error);
    if (error) {
        ZocLog::CommPort().Error("Failed to match USB services, error: %d.", error);
        return false;
    }
    for (const std::string& name : names) {
        // Devices only ("1-1.2", "usb1"); interfaces carry a colon.
        if (name.find(':') != std::string::npos)
            continue;
        std::string path = devices + "/" + name;
        Properties properties{{"sysfsPath", path}, {"name", name}};
        std::string value, decimal;
        if (ReadLine(path + "/idVendor", value) && HexToDecimal(value, decimal))
            properties["idVendor"] = decimal;
        if (ReadLine(path + "/idProduct", value) && HexToDecimal(value, decimal))
            properties["idProduct"] = decimal;
        for (const char* key : {"busnum", "devpath", "serial", "product", "manufacturer"})
            if (ReadLine(path + "/" + key, value))
                properties[key] = value;
        if (!callback(properties))
            break;
    }
    return true;
}

std::vector<std::string> ZomDeviceUtils::Comm::GetToviCommCandidateList() {
    std::vector<std::string> ttys;
    const std::string vendor = std::to_string(kBridgeVendor), product = std::to_string(kBridgeProduct);
    Usb::ForEachDevice([&](const Usb::Properties& properties) {
        auto v = properties.find("idVendor"), p = properties.find("idProduct");
        if (v == properties.end() || p == properties.end() || v->second != vendor || p->second != product)
            return true;
        const std::string& path = properties.at("sysfsPath");
        const std::string& name = properties.at("name");
        for (const std::string& child : ListDir(path))
            if (child.rfind(name + ":", 0) == 0 && IsDirectory(path + "/" + child))
                CollectTtys(path + "/" + child, ttys);
        return true;
    });
    return ttys;
}

bool ZomDeviceUtils::Comm::GetDevices(std::vector<std::string>& paths) {
    std::string dev = Roots().second;
    int error = 0;
    auto entries = ListDir(dev, &error);
    if (error)
        ZocLog::CommPort().Error("Failed to open device dir, error %d", error);
    auto candidates = GetToviCommCandidateList();
    for (const std::string& entry : entries) {
        if (entry.rfind("ttyUSB", 0) != 0 && entry.rfind("ttyACM", 0) != 0)
            continue;
        std::string path = dev + "/" + entry;
        if (std::find(candidates.begin(), candidates.end(), entry) != candidates.end()) {
            paths.push_back(path);
            ZocLog::CommPort().Debug("Found USB serial port: %s", path.c_str());
        } else {
            ZocLog::CommPort().Debug("USB serial port is not from Tovi: %s", path.c_str());
        }
    }
    // Simulated Tovis stand beside the real ones.
    if (UseSimulated()) {
        for (const auto& entry : ZomSimDeviceRegistry::List()) {
            if (access(entry.serial.c_str(), F_OK) != 0)
                continue;
            paths.push_back(entry.serial);
            ZocLog::CommPort().Debug("Found simulated Tovi serial port: %s", entry.serial.c_str());
        }
    }
    return error == 0;
}

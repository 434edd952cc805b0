#include "platform/linux/ZomSimDeviceRegistry.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {
constexpr size_t kMaxEntrySize = 64 * 1024;

std::string Text(const nlohmann::json& object, const char* key) {
    auto it = object.find(key);
    return (it != object.end() && it->is_string()) ? it->get<std::string>() : std::string();
}

long Number(const nlohmann::json& object, const char* key) {
    auto it = object.find(key);
    return (it != object.end() && it->is_number_integer()) ? it->get<long>() : 0;
}

bool ProcessAlive(long pid) {
    if (pid <= 0)
        return false;
    return kill(pid_t(pid), 0) == 0 || errno == EPERM;
}
} // namespace

std::string ZomSimDeviceRegistry::GetBaseDir() {
    if (const char* override = std::getenv("ZT_SIM_REGISTRY"); override && *override)
        return override;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        runtime && *runtime && access(runtime, W_OK) == 0)
        return std::string(runtime) + "/zorvanetovi";
    return "/tmp/zorvanetovi-" + std::to_string(getuid());
}

bool ZomSimDeviceRegistry::Parse(const std::string& text, Entry& entry) {
    nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object())
        return false;
    entry = {};
    entry.id = Text(json, "id");
    entry.serial = Text(json, "serial");
    entry.control = Text(json, "control");
    entry.pid = Number(json, "pid");
    if (entry.id.empty() || entry.serial.empty())
        return false;
    if (auto camera = json.find("camera"); camera != json.end() && camera->is_object()) {
        entry.cameraName = Text(*camera, "name");
        entry.cameraShm = Text(*camera, "shm");
    }
    if (auto audio = json.find("audio"); audio != json.end() && audio->is_object()) {
        entry.audioName = Text(*audio, "name");
        entry.audioShm = Text(*audio, "shm");
    }
    if (auto hid = json.find("hid"); hid != json.end() && hid->is_object()) {
        entry.hidSocket = Text(*hid, "socket");
        entry.hidVendorId = int(Number(*hid, "vendorId"));
        entry.hidProductId = int(Number(*hid, "productId"));
        entry.hidSerial = Text(*hid, "serial");
    }
    return true;
}

std::vector<ZomSimDeviceRegistry::Entry> ZomSimDeviceRegistry::List() {
    std::vector<Entry> entries;
    std::string folder = GetBaseDir() + "/devices";
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return entries;
    std::vector<std::string> files;
    while (dirent* item = readdir(dir)) {
        std::string name = item->d_name;
        if (name.size() > 5 && name.compare(name.size() - 5, 5, ".json") == 0)
            files.push_back(folder + "/" + name);
    }
    closedir(dir);
    for (const std::string& file : files) {
        std::ifstream in(file, std::ios::binary);
        if (!in)
            continue;
        std::string text(kMaxEntrySize + 1, '\0');
        in.read(text.data(), std::streamsize(text.size()));
        if (in.gcount() > std::streamsize(kMaxEntrySize))
            continue;
        text.resize(size_t(in.gcount()));
        Entry entry;
        if (Parse(text, entry) && ProcessAlive(entry.pid))
            entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.id < b.id; });
    return entries;
}

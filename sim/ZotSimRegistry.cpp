#include "sim/ZotSimRegistry.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <nlohmann/json.hpp>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

std::string ZotSimRegistry::DefaultBaseDir() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (runtime != nullptr && runtime[0] == '/' && stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) &&
        st.st_uid == getuid() && access(runtime, W_OK) == 0)
        return std::string(runtime) + "/zorvanetovi";
    return "/tmp/zorvanetovi-" + std::to_string(getuid());
}

bool ZotSimRegistry::MakePrivateDir(const std::string& path, std::string& error) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        error = "cannot create " + path + ": " + strerror(errno);
        return false;
    }
    // In /tmp someone else may have made it first: it must be ours and a real folder.
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() ||
        (st.st_mode & 0077) != 0) {
        error = path + " is not a private folder of this user";
        return false;
    }
    return true;
}

bool ZotSimRegistry::Initialize(const std::string& override, std::string& error) {
    mBase = override.empty() ? DefaultBaseDir() : override;
    while (mBase.size() > 1 && mBase.back() == '/')
        mBase.pop_back();
    return MakePrivateDir(mBase, error) && MakePrivateDir(mBase + "/devices", error) &&
           MakePrivateDir(mBase + "/sim", error);
}

bool ZotSimRegistry::Write(const std::string& id, const std::string& json, std::string& error) const {
    const std::string path = EntryPath(id);
    const std::string temp = path + ".tmp";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error = "cannot write " + temp + ": " + strerror(errno);
        return false;
    }
    const std::string text = json + "\n";
    bool ok = write(fd, text.data(), text.size()) == ssize_t(text.size());
    ok = close(fd) == 0 && ok;
    if (!ok || rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + strerror(errno);
        unlink(temp.c_str());
        return false;
    }
    return true;
}

void ZotSimRegistry::Remove(const std::string& id) const {
    unlink(EntryPath(id).c_str());
}

bool ZotSimRegistry::Exists(const std::string& id) const {
    return access(EntryPath(id).c_str(), F_OK) == 0;
}

std::vector<std::string> ZotSimRegistry::ListControlIds() const {
    std::vector<std::string> ids;
    DIR* dir = opendir((mBase + "/sim").c_str());
    if (dir == nullptr)
        return ids;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ctl") == 0)
            ids.push_back(name.substr(0, name.size() - 4));
    }
    closedir(dir);
    std::sort(ids.begin(), ids.end());
    return ids;
}

void ZotSimRegistry::RemoveStaleEntries() const {
    DIR* dir = opendir((mBase + "/devices").c_str());
    if (dir == nullptr)
        return;
    std::vector<std::string> stale;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name.size() <= 5 || name.compare(name.size() - 5, 5, ".json") != 0)
            continue;
        std::ifstream in(mBase + "/devices/" + name);
        const nlohmann::json j = nlohmann::json::parse(in, nullptr, false);
        if (j.is_discarded() || !j.is_object() || !j.contains("pid") || !j["pid"].is_number_integer())
            continue; // not ours to judge
        const long long pid = j["pid"].get<long long>();
        if (pid > 0 && pid <= INT32_MAX && kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            stale.push_back(name.substr(0, name.size() - 5));
    }
    closedir(dir);
    for (const std::string& id : stale) {
        Remove(id);
        unlink(SocketPath(id, ".hid").c_str());
        unlink(SocketPath(id, ".ctl").c_str());
    }
}

#include <zotbase/ZotConsoleLogWriter.h>
#include <zotbase/ZotDbgLogWriter.h>
#include <zotbase/ZotFileLogWriter.h>
#include <zotbase/ZotLogManager.h>

#include <map>
#include <mutex>
#include <string>

namespace {
std::mutex gMutex;
std::map<std::string, std::shared_ptr<ZotLogger>> gLoggers;
ZotFileLogWriter gFileLogger;
ZotConsoleLogWriter gConsLogger;
ZotDbgLogWriter gDbgLogger;
} // namespace

ZotLogManager& ZotLogManager::Instance() {
    static ZotLogManager instance;
    return instance;
}

bool ZotLogManager::Initialize(LoggerType type, uint64_t maxSize, const char* folder, const char* name,
                               const char* extension, uint64_t maxFiles) {
    mType.store(type, std::memory_order_release);
    return GetWriter().Init(maxSize, folder ? folder : "", name ? name : "", extension ? extension : "",
                            maxFiles);
}

ZotLogWriterI& ZotLogManager::GetWriter() {
    switch (GetType()) {
    case Console:
        return gConsLogger;
    case Debug:
        return gDbgLogger;
    default:
        return gFileLogger;
    }
}

std::shared_ptr<ZotLogger> ZotLogManager::GetLogger(const char* name, ZotLogger::Level level) {
    std::string key = name ? name : "";
    std::lock_guard lock(gMutex);
    auto it = gLoggers.find(key);
    if (it != gLoggers.end())
        return it->second;
    auto logger = std::make_shared<ZotLogger>(key.c_str(), level);
    gLoggers.emplace(key, logger);
    return logger;
}

std::shared_ptr<ZotLogger> ZotLogManager::GetLogger() {
    return GetLogger("", ZotLogger::Level::Info);
}

bool ZotLogManager::SetLevel(const char* name, ZotLogger::Level level) {
    std::lock_guard lock(gMutex);
    auto it = gLoggers.find(name ? name : "");
    if (it == gLoggers.end())
        return false;
    it->second->SetLevel(level);
    return true;
}

#include "app/ZocLog.h"

#include <SDL.h>

#include <array>
#include <string>

const char* const ZocLog::kLoggerNames[kLoggerCount] = {
    "Application", "System",    "Audio",          "Video",         "CommPort",      "Keyboard",
    "Mouse",       "VCommPort", "UiNotification", "UiModalDialog", "UiPopupDialog", "ToviDevice"};

namespace {
constexpr uint64_t kLogFileSize = 0x200000;
constexpr uint64_t kLogMaxFiles = 10;
} // namespace

const std::shared_ptr<ZotLogger>& ZocLog::Get(int index) {
    // Created on first use (thread-safe), so that code running before
    // Initialize, such as tests, logs through the same objects.
    static const std::array<std::shared_ptr<ZotLogger>, kLoggerCount> loggers = [] {
        std::array<std::shared_ptr<ZotLogger>, kLoggerCount> made;
        for (int i = 0; i < kLoggerCount; ++i)
            made[size_t(i)] = ZotLogManager::Instance().GetLogger(kLoggerNames[i], ZotLogger::Level::Info);
        return made;
    }();
    return loggers[size_t(index)];
}

bool ZocLog::Initialize(const char* folder, const char* name, const char* extension) {
    ZotLogManager& manager = ZotLogManager::Instance();
    bool toFile = name && *name;
    bool ok = manager.Initialize(toFile ? ZotLogManager::File : ZotLogManager::Console, kLogFileSize, folder,
                                 name, extension, kLogMaxFiles);
    if (!ok) {
        SDL_LogError(SDL_LOG_CATEGORY_APPLICATION,
                     "Failed to initialize the file log, using console log instead");
        if (!manager.Initialize(ZotLogManager::Console, 0, "", "", "", 0)) {
            SDL_LogCritical(SDL_LOG_CATEGORY_APPLICATION, "Failed to initialize the console log");
            return false;
        }
        Application().Info("Switched to console log");
    }
    for (int i = 0; i < kLoggerCount; ++i)
        Get(i);
    return true;
}

bool ZocLog::OpenConsoleLog() {
    if (!ZotLogManager::Instance().Initialize(ZotLogManager::Console, 0, "", "", "", 0)) {
        SDL_LogCritical(SDL_LOG_CATEGORY_APPLICATION, "Failed to initialize the console log");
        return false;
    }
    Application().Info("Switched to console log");
    return true;
}

const char* ZocLog::GetLevelName(ZotLogger::Level level) {
    static const char* const names[] = {"verbose", "debug", "info", "warn", "error", "fatal"};
    int index = int(level);
    if (index < 0 || index > 5)
        return "???";
    return names[index];
}

void ZocLog::ForEachLogger(const std::function<bool(std::shared_ptr<ZotLogger>)>& callback) {
    std::array<std::shared_ptr<ZotLogger>, kLoggerCount> copies;
    for (int i = 0; i < kLoggerCount; ++i)
        copies[size_t(i)] = Get(i);
    for (auto& logger : copies)
        if (!callback(logger))
            break;
}

void ZocLog::OnToviLogMessage(const uint8_t* body, size_t size) {
    if (!body || size < 2)
        return;
    unsigned level = unsigned(body[0]) | unsigned(body[1]) << 8;
    // The device knows levels 0..5; anything above is its most severe.
    if (level > unsigned(ZotLogger::Level::Fatal))
        level = unsigned(ZotLogger::Level::Fatal);
    size_t textLength = 0;
    while (2 + textLength < size && body[2 + textLength] != 0)
        ++textLength;
    std::string text(reinterpret_cast<const char*>(body + 2), textLength);
    ToviDevice().Log(ZotLogger::Level(level), "%s", text.c_str());
}

#include <zotbase/ZotLogManager.h>
#include <zotbase/ZotLogger.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/time.h>

namespace {
const char* const gLevelStrs[] = {"TRA", "DBG", "IFO", "WRN", "ERR", "FAT"};
}

ZotLogger::ZotLogger(const char* name, Level level) : mLevel(level) {
    std::snprintf(mName, sizeof(mName), "%s", name ? name : "");
}

int ZotLogger::AddLeadingText(char* buffer, size_t size, Level level) const {
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    time_t seconds = now.tv_sec;
    localtime_r(&seconds, &local);
    int index = int(level);
    const char* tag = (index >= 0 && index <= 5) ? gLevelStrs[index] : "???";
    int n = std::snprintf(buffer, size, "%04u/%02u/%02u %02u:%02u:%02u.%06u [%s] %s: ",
                          unsigned(local.tm_year + 1900), unsigned(local.tm_mon + 1), unsigned(local.tm_mday),
                          unsigned(local.tm_hour), unsigned(local.tm_min), unsigned(local.tm_sec),
                          unsigned(now.tv_usec), tag, mName);
    if (n < 0)
        return 0;
    return n < int(size) ? n : int(size) - 1;
}

void ZotLogger::LogV(Level level, const char* format, va_list args) {
    char buffer[kMaxLineLength];
    int prefix = AddLeadingText(buffer, sizeof(buffer), level);
    int message = std::vsnprintf(buffer + prefix, sizeof(buffer) - size_t(prefix), format, args);
    if (message <= 0)
        return;
    size_t total = size_t(prefix) + size_t(message);
    if (total > kMaxLineLength - 1)
        total = kMaxLineLength - 1; // the message is cut; the newline takes the last byte
    buffer[total] = '\n';
    ZotLogManager::Instance().GetWriter().Write(buffer, total + 1);
}

void ZotLogger::Log(Level level, const char* format, ...) {
    if (!IsEnabled(level))
        return;
    va_list args;
    va_start(args, format);
    LogV(level, format, args);
    va_end(args);
}

#define ZOT_LOGGER_LEVEL_FUNCTION(NAME)                                                                      \
    void ZotLogger::NAME(const char* format, ...) {                                                          \
        if (!IsEnabled(NAME##Level))                                                                        \
            return;                                                                                          \
        va_list args;                                                                                        \
        va_start(args, format);                                                                              \
        LogV(NAME##Level, format, args);                                                                     \
        va_end(args);                                                                                        \
    }

namespace {
constexpr ZotLogger::Level TraceLevel = ZotLogger::Level::Trace;
constexpr ZotLogger::Level DebugLevel = ZotLogger::Level::Debug;
constexpr ZotLogger::Level InfoLevel = ZotLogger::Level::Info;
constexpr ZotLogger::Level WarnLevel = ZotLogger::Level::Warn;
constexpr ZotLogger::Level ErrorLevel = ZotLogger::Level::Error;
constexpr ZotLogger::Level FatalLevel = ZotLogger::Level::Fatal;
} // namespace

ZOT_LOGGER_LEVEL_FUNCTION(Trace)
ZOT_LOGGER_LEVEL_FUNCTION(Debug)
ZOT_LOGGER_LEVEL_FUNCTION(Info)
ZOT_LOGGER_LEVEL_FUNCTION(Warn)
ZOT_LOGGER_LEVEL_FUNCTION(Error)
ZOT_LOGGER_LEVEL_FUNCTION(Fatal)

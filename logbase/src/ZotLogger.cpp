#include <zotbase/ZotLogManager.h>
#include <zotbase/ZotLogger.h>

#include <algorithm>
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
    if (size == 0)
        return 0;
    timeval now{};
    gettimeofday(&now, nullptr);
    // The date and time down to the second change once a second: each thread
    // keeps them formatted, so that a line costs no calendar conversion.
    thread_local time_t cachedSecond = -1;
    thread_local char cachedText[64];
    thread_local size_t cachedLength = 0;
    if (now.tv_sec != cachedSecond) {
        tm local{};
        time_t seconds = now.tv_sec;
        localtime_r(&seconds, &local);
        int n =
            std::snprintf(cachedText, sizeof(cachedText), "%04u/%02u/%02u %02u:%02u:%02u.",
                          unsigned(local.tm_year + 1900), unsigned(local.tm_mon + 1), unsigned(local.tm_mday),
                          unsigned(local.tm_hour), unsigned(local.tm_min), unsigned(local.tm_sec));
        cachedLength = n < 0 ? 0 : std::min(size_t(n), sizeof(cachedText) - 1);
        cachedSecond = now.tv_sec;
    }
    // "%s%06u [%s] %s: " from the cached text, microseconds, tag and name.
    char line[sizeof(cachedText) + 8 + 8 + kMaxNameLength + 4];
    size_t length = cachedLength;
    std::memcpy(line, cachedText, length);
    unsigned micro = unsigned(now.tv_usec) % 1000000u;
    for (int i = 5; i >= 0; --i, micro /= 10)
        line[length + size_t(i)] = char('0' + micro % 10);
    length += 6;
    int index = int(level);
    const char* tag = (index >= 0 && index <= 5) ? gLevelStrs[index] : "???";
    line[length++] = ' ';
    line[length++] = '[';
    std::memcpy(line + length, tag, 3);
    length += 3;
    line[length++] = ']';
    line[length++] = ' ';
    size_t nameLength = std::strlen(mName);
    std::memcpy(line + length, mName, nameLength);
    length += nameLength;
    line[length++] = ':';
    line[length++] = ' ';
    // Like snprintf: cut to the buffer, always terminated.
    size_t copied = std::min(length, size - 1);
    std::memcpy(buffer, line, copied);
    buffer[copied] = 0;
    return int(copied);
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
        if (!IsEnabled(NAME##Level))                                                                         \
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

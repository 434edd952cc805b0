#pragma once
#include <zotbase/ZotExport.h>

#include <atomic>
#include <cstdarg>
#include <cstddef>
#include <cstdint>

// A named logger. Lines below the logger's level are dropped; the rest get the
// leading text (local time to the microsecond, level tag, name) and go to the
// log manager's current writer. Thread-safe and lock-free.
class ZOT_API ZotLogger {
public:
    enum class Level : int32_t { Trace = 0, Debug = 1, Info = 2, Warn = 3, Error = 4, Fatal = 5 };

    static constexpr size_t kMaxNameLength = 32;
    static constexpr size_t kMaxLineLength = 4096;

    ZotLogger(const char* name, Level level);

    void SetLevel(Level level) { mLevel.store(level, std::memory_order_relaxed); }
    Level GetLevel() const { return mLevel.load(std::memory_order_relaxed); }
    const char* GetName() const { return mName; }
    bool IsEnabled(Level level) const { return int32_t(GetLevel()) <= int32_t(level); }

    void Log(Level level, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void Trace(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Debug(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Info(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Warn(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Error(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Fatal(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Writes the line prefix alone; returns the number of characters written.
    int AddLeadingText(char* buffer, size_t size, Level level) const;

private:
    void LogV(Level level, const char* format, va_list args);

    char mName[kMaxNameLength + 1];
    std::atomic<Level> mLevel;
};

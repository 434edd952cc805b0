#pragma once
#include <zotbase/ZotExport.h>
#include <zotbase/ZotLogWriterI.h>
#include <zotbase/ZotLogger.h>

#include <atomic>
#include <cstdint>
#include <memory>

// The process-wide log manager: owns the writers and the loggers by name.
class ZOT_API ZotLogManager {
public:
    enum LoggerType : int32_t { File = 0, Console = 1, Debug = 2 };

    static ZotLogManager& Instance();

    // Selects the writer of `type` and initialises it. The console and debug
    // writers ignore the other arguments.
    bool Initialize(LoggerType type, uint64_t maxSize, const char* folder, const char* name,
                    const char* extension, uint64_t maxFiles);

    ZotLogWriterI& GetWriter();
    LoggerType GetType() const { return mType.load(std::memory_order_acquire); }

    // Finds the logger of that name or creates it at `level`.
    std::shared_ptr<ZotLogger> GetLogger(const char* name, ZotLogger::Level level);
    std::shared_ptr<ZotLogger> GetLogger();
    bool SetLevel(const char* name, ZotLogger::Level level);

private:
    ZotLogManager() = default;
    std::atomic<LoggerType> mType{File};
};

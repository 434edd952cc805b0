#pragma once
#include <zotbase/ZotBase.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// The application's twelve named loggers, on top of libzotbase. Every
// subsystem logs through one of them, chosen by topic.
class ZocLog {
public:
    static constexpr int kLoggerCount = 12;

    // Opens the log file (console when `name` is empty) and creates the loggers.
    static bool Initialize(const char* folder, const char* name, const char* extension);
    // Sends every logger to standard output from now on.
    static bool OpenConsoleLog();
    static const char* GetLevelName(ZotLogger::Level level);
    // Calls `callback` for each logger in the fixed order; stops when it returns false.
    static void ForEachLogger(const std::function<bool(std::shared_ptr<ZotLogger>)>& callback);

    // The body of a ToviLog message: u16 level, then text up to the first NUL
    // or the end of the body. Logged on "ToviDevice" literally.
    static void OnToviLogMessage(const uint8_t* body, size_t size);

    static ZotLogger& Application() { return *Get(0); }
    static ZotLogger& System() { return *Get(1); }
    static ZotLogger& Audio() { return *Get(2); }
    static ZotLogger& Video() { return *Get(3); }
    static ZotLogger& CommPort() { return *Get(4); }
    static ZotLogger& Keyboard() { return *Get(5); }
    static ZotLogger& Mouse() { return *Get(6); }
    static ZotLogger& VCommPort() { return *Get(7); }
    static ZotLogger& UiNotification() { return *Get(8); }
    static ZotLogger& UiModalDialog() { return *Get(9); }
    static ZotLogger& UiPopupDialog() { return *Get(10); }
    static ZotLogger& ToviDevice() { return *Get(11); }

    static const char* const kLoggerNames[kLoggerCount];

private:
    static const std::shared_ptr<ZotLogger>& Get(int index);
};

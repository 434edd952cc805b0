#pragma once
#include "app/ZocLog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

// Sends the application loggers to standard output at Debug level and
// captures what they print, so tests can check the exact log lines.
class LogCapture {
public:
    LogCapture() {
        ZotLogManager::Instance().Initialize(ZotLogManager::Console, 0, "", "", "", 0);
        ZocLog::ForEachLogger([](std::shared_ptr<ZotLogger> logger) {
            logger->SetLevel(ZotLogger::Level::Debug);
            return true;
        });
        std::fflush(stdout);
        testing::internal::CaptureStdout();
    }
    ~LogCapture() {
        if (!mTaken) {
            Take();
        }
        ZocLog::ForEachLogger([](std::shared_ptr<ZotLogger> logger) {
            logger->SetLevel(ZotLogger::Level::Info);
            return true;
        });
    }
    std::string Take() {
        std::fflush(stdout);
        mTaken = true;
        return testing::internal::GetCapturedStdout();
    }

private:
    bool mTaken = false;
};

#include "sim/ZotSimEventLog.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>

void ZotSimEventLog::Add(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    char line[600];
    std::snprintf(line, sizeof line, "%02d:%02d:%02d.%03ld %s", local.tm_hour, local.tm_min, local.tm_sec,
                  ts.tv_nsec / 1000000, text);
    std::lock_guard<std::mutex> lock(mMutex);
    if (mEcho)
        std::fprintf(stderr, "tovi-sim: %s\n", line);
    mLines.emplace_back(line);
    while (mLines.size() > mCapacity)
        mLines.pop_front();
}

std::string ZotSimEventLog::Last(size_t count) const {
    std::lock_guard<std::mutex> lock(mMutex);
    std::string out;
    const size_t first = mLines.size() > count ? mLines.size() - count : 0;
    for (size_t i = first; i < mLines.size(); ++i) {
        out += mLines[i];
        out += '\n';
    }
    return out;
}

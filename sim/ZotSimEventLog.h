#pragma once
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>

// The last protocol and device events of the simulated Tovi, for the `log`
// control command; also echoed to standard error with --verbose. Thread-safe.
class ZotSimEventLog {
public:
    explicit ZotSimEventLog(size_t capacity = 500) : mCapacity(capacity) {}

    void Add(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The newest `count` lines, oldest first, each ending in a newline.
    std::string Last(size_t count) const;
    void SetEcho(bool echo) { mEcho = echo; }

private:
    mutable std::mutex mMutex;
    std::deque<std::string> mLines;
    size_t mCapacity;
    bool mEcho = false;
};

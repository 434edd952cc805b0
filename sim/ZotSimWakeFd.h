#pragma once

// An eventfd that wakes a thread blocked in poll(): Signal() from any thread
// (or a signal handler), poll Fd() for POLLIN, Drain() to re-arm it.
class ZotSimWakeFd {
public:
    ZotSimWakeFd();
    ~ZotSimWakeFd();
    ZotSimWakeFd(const ZotSimWakeFd&) = delete;
    ZotSimWakeFd& operator=(const ZotSimWakeFd&) = delete;

    bool IsValid() const { return mFd >= 0; }
    int Fd() const { return mFd; }
    void Signal() const; // async-signal-safe
    void Drain() const;

private:
    int mFd = -1;
};

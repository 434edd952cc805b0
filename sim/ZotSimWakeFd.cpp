#include "sim/ZotSimWakeFd.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

ZotSimWakeFd::ZotSimWakeFd() : mFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

ZotSimWakeFd::~ZotSimWakeFd() {
    if (mFd >= 0)
        close(mFd);
}

void ZotSimWakeFd::Signal() const {
    const uint64_t one = 1;
    if (mFd >= 0) {
        ssize_t n = write(mFd, &one, sizeof one);
        (void)n;
    }
}

void ZotSimWakeFd::Drain() const {
    uint64_t value = 0;
    if (mFd >= 0) {
        ssize_t n = read(mFd, &value, sizeof value);
        (void)n;
    }
}

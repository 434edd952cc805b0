#pragma once
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

// A pseudo-terminal pair standing in for a serial device: the code under test
// opens `slavePath`; the test plays the other end on `master`.
struct PtyPair {
    PtyPair() {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) {
            const char* name = ptsname(master);
            slavePath = name != nullptr ? name : "";
        }
    }
    ~PtyPair() { CloseMaster(); }
    void CloseMaster() {
        if (master >= 0) {
            ::close(master);
            master = -1;
        }
    }
    bool Ok() const { return master >= 0 && !slavePath.empty(); }

    // Reads exactly `count` bytes from the master within `timeoutMs`.
    std::vector<uint8_t> ReadMaster(size_t count, int timeoutMs = 2000) {
        std::vector<uint8_t> bytes;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd p = {master, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                uint8_t chunk[4096];
                const ssize_t got = ::read(master, chunk, std::min(sizeof chunk, count - bytes.size()));
                if (got > 0) {
                    bytes.insert(bytes.end(), chunk, chunk + got);
                }
            }
        }
        return bytes;
    }

    int master = -1;
    std::string slavePath;
};

// CPU time (user + system) this process used so far, in milliseconds.
inline double ProcessCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

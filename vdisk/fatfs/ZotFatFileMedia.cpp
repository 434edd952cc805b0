#include "vdisk/fatfs/ZotFatFileMedia.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int g_fd = -1;
uint32_t g_sectors = 0;
std::string g_error;

void SetError(const std::string& what) {
    g_error = what + ": " + std::strerror(errno);
}

uint8_t Initialize(uint8_t) {
    return g_fd >= 0 ? 0 : STA_NOINIT;
}
uint8_t Status(uint8_t) {
    return g_fd >= 0 ? 0 : STA_NOINIT;
}

// Moves `count` sectors at `sector` between the image and memory, retrying
// short transfers and interrupted calls.
template <typename Buffer, typename Call>
DRESULT Transfer(Buffer* bytes, uint32_t sector, uint32_t count, Call call, const char* what) {
    if (g_fd < 0)
        return RES_NOTRDY;
    if (uint64_t(sector) + count > g_sectors)
        return RES_ERROR;
    size_t want = size_t(count) * 512, done = 0;
    off_t at = off_t(sector) * 512;
    while (done < want) {
        ssize_t n = call(g_fd, bytes + done, want - done, at + off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            SetError(what);
            return RES_ERROR;
        }
        done += size_t(n);
    }
    return RES_OK;
}

DRESULT Read(uint8_t, uint8_t* buffer, uint32_t sector, uint32_t count) {
    return Transfer(buffer, sector, count, ::pread, "read");
}

DRESULT Write(uint8_t, const uint8_t* data, uint32_t sector, uint32_t count) {
    return Transfer(data, sector, count, ::pwrite, "write");
}

DRESULT Ioctl(uint8_t, uint8_t code, void* buffer) {
    if (g_fd < 0)
        return RES_NOTRDY;
    switch (code) {
    case CTRL_SYNC:
        return RES_OK;
    case GET_SECTOR_COUNT:
        std::memcpy(buffer, &g_sectors, 4);
        return RES_OK;
    case GET_SECTOR_SIZE: {
        uint16_t ss = 512;
        std::memcpy(buffer, &ss, 2);
        return RES_OK;
    }
    case GET_BLOCK_SIZE: {
        uint32_t one = 1;
        std::memcpy(buffer, &one, 4);
        return RES_OK;
    }
    default:
        return RES_PARERR;
    }
}

uint32_t FatTime() {
    time_t now = time(nullptr);
    struct tm t;
    gmtime_r(&now, &t);
    if (t.tm_year < 80)
        return 0x00210000;
    return uint32_t(t.tm_year - 80) << 25 | uint32_t(t.tm_mon + 1) << 21 | uint32_t(t.tm_mday) << 16 |
           uint32_t(t.tm_hour) << 11 | uint32_t(t.tm_min) << 5 | uint32_t(t.tm_sec / 2);
}

const FatMedia kMedia = {Initialize, Status, Read, Write, Ioctl, FatTime};

bool Adopt(int fd, const std::string& path) {
    struct stat st;
    if (fstat(fd, &st) != 0) {
        SetError(path);
        close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode) || st.st_size / 512 > 0xFFFFFFFFll) {
        g_error = path + ": not a regular file of at most 2 TiB";
        close(fd);
        return false;
    }
    ZotFatFileMedia::Close();
    g_fd = fd;
    g_sectors = uint32_t(st.st_size / 512);
    return true;
}

} // namespace

bool ZotFatFileMedia::Open(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        SetError(path);
        return false;
    }
    return Adopt(fd, path);
}

bool ZotFatFileMedia::Create(const std::string& path, uint64_t bytes) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        SetError(path);
        return false;
    }
    if (ftruncate(fd, off_t(bytes)) != 0) {
        SetError(path);
        close(fd);
        return false;
    }
    return Adopt(fd, path);
}

void ZotFatFileMedia::Close() {
    if (g_fd >= 0) {
        close(g_fd);
    }
    g_fd = -1;
    g_sectors = 0;
}

const std::string& ZotFatFileMedia::LastError() {
    return g_error;
}
const FatMedia* ZotFatFileMedia::Media() {
    return &kMedia;
}
uint32_t ZotFatFileMedia::SectorCount() {
    return g_sectors;
}

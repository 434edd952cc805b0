#include "vdisk/ZocFatFsDiskIo.h"

#include "app/ZocLog.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

namespace ZocFatFsDiskIo {

FileDiskIo s_instance;

// ---- DiskIoBase ------------------------------------------------------------

void DiskIoBase::Close() {
    f_mount(nullptr, VolumePath, 0);
    mFatFs = FATFS{};
}

uint8_t DiskIoBase::IoControl(uint8_t code, void* buffer) {
    if (code > GET_BLOCK_SIZE)
        return kResInvalidParameter;
    if (mStatus & kStatusNotInitialised)
        return kResNotReady;
    switch (code) {
    case GET_SECTOR_COUNT:
        std::memcpy(buffer, &mSectorCount, sizeof mSectorCount);
        break;
    case GET_SECTOR_SIZE:
        std::memcpy(buffer, &mSectorSize, sizeof mSectorSize);
        break;
    case GET_BLOCK_SIZE: {
        uint32_t one = 1;
        std::memcpy(buffer, &one, sizeof one);
        break;
    }
    default:
        break;
    }
    return kResOk;
}

// ---- FileDiskIo ------------------------------------------------------------

bool FileDiskIo::Open(const std::string& path, uint32_t sizeMiB) {
    if (mStream.is_open())
        mStream.close();
    mStream.clear();
    errno = 0;
    mStream.open(path, std::ios::in | std::ios::out | std::ios::binary);
    if (!mStream.is_open()) {
        int err = errno;
        if (err == ENOENT)
            ZocLog::System().Info("Disk image was not found %s", path.c_str());
        else
            ZocLog::System().Error("Failed to open file %s, error %d", path.c_str(), err);
        return false;
    }
    if (sizeMiB > 256) {
        ZocLog::System().Error("The disk size request is too large (%u MB)", sizeMiB);
        mStream.close();
        return false;
    }
    mSectorCount = uint32_t(uint64_t(sizeMiB) * 1048576 / mSectorSize);
    mStatus = 0;
    f_setmedia(Media());
    return true;
}

bool FileDiskIo::VerifyVolumeLabel() {
    char label[64] = {};
    FRESULT res = f_getlabel(VolumePath, label, nullptr);
    if (res != FR_OK) {
        CloseStream();
        ZocLog::System().Error("Failed to read disk label, error %d", int(res));
        return false;
    }
    if (std::strcmp(label, VolumeLabel) == 0)
        return true;
    CloseStream();
    ZocLog::System().Error("Unexpected label '%s', expected '%s'", label, VolumeLabel);
    return false;
}

void FileDiskIo::CloseStream() {
    if (mStream.is_open())
        mStream.close();
}

void FileDiskIo::Close() {
    CloseStream();
    DiskIoBase::Close();
}

uint8_t FileDiskIo::IoControl(uint8_t code, void* buffer) {
    if (code == CTRL_SYNC && mStream.is_open()) {
        mStream.flush();
        if (!mStream) {
            mStream.clear();
            return kResError; // the buffered writes did not reach the file
        }
    }
    return DiskIoBase::IoControl(code, buffer);
}

bool FileDiskIo::ReadRaw(uint32_t offset, uint32_t length, uint8_t* buffer) {
    mStream.clear();
    mStream.seekg(std::streamoff(offset));
    mStream.read(reinterpret_cast<char*>(buffer), std::streamsize(length));
    bool ok = bool(mStream) && mStream.gcount() == std::streamsize(length);
    mStream.clear();
    return ok;
}

bool FileDiskIo::WriteRaw(uint32_t offset, uint32_t length, const uint8_t* buffer) {
    mStream.clear();
    mStream.seekp(std::streamoff(offset));
    mStream.write(reinterpret_cast<const char*>(buffer), std::streamsize(length));
    bool ok = bool(mStream);
    mStream.clear();
    return ok;
}

// ---- The disk interface --------------------------------------------------------

uint8_t disk_initialize(uint8_t drive) {
    ZocLog::System().Debug("   - disk_initialize(%hhd)", drive);
    std::unique_lock<std::timed_mutex> lock(s_instance.mMutex, std::chrono::seconds(5));
    if (!lock.owns_lock()) {
        ZocLog::System().Error("Timed out while initialize disk image");
        return kStatusNotInitialised;
    }
    s_instance.mStatus = 0;
    return 0;
}

uint8_t disk_status(uint8_t drive) {
    ZocLog::System().Debug("   - disk_status(%hhd)", drive);
    return s_instance.mStatus;
}

namespace {

// Common checks of a transfer; on success `offset` and `length` are in bytes.
DRESULT CheckTransfer(uint32_t sector, uint32_t count, uint64_t& offset, uint64_t& length) {
    if (s_instance.mStatus & kStatusNotInitialised)
        return RES_NOTRDY;
    if (uint64_t(sector) + count > s_instance.mSectorCount)
        return RES_ERROR;
    offset = uint64_t(sector) * s_instance.mSectorSize;
    length = uint64_t(count) * s_instance.mSectorSize;
    if (offset + length > 0xFFFFFFFFull)
        return RES_ERROR;
    return RES_OK;
}

} // namespace

DRESULT disk_read(uint8_t drive, uint8_t* buffer, uint32_t sector, uint32_t count) {
    ZocLog::System().Debug("   - disk_read(%hhd, sector %u, count %u)", drive, sector, count);
    std::unique_lock<std::timed_mutex> lock(s_instance.mMutex, std::chrono::seconds(3));
    if (!lock.owns_lock())
        return RES_NOTRDY;
    uint64_t offset, length;
    DRESULT res = CheckTransfer(sector, count, offset, length);
    if (res != RES_OK)
        return res;
    return s_instance.ReadRaw(uint32_t(offset), uint32_t(length), buffer) ? RES_OK : RES_ERROR;
}

DRESULT disk_write(uint8_t drive, const uint8_t* data, uint32_t sector, uint32_t count) {
    ZocLog::System().Debug("   - disk_write(%hhd, sector %u, count %u)", drive, sector, count);
    std::unique_lock<std::timed_mutex> lock(s_instance.mMutex, std::chrono::seconds(3));
    if (!lock.owns_lock())
        return RES_NOTRDY;
    if (!(s_instance.mStatus & kStatusNotInitialised) && (s_instance.mStatus & kStatusWriteProtected))
        return RES_WRPRT;
    uint64_t offset, length;
    DRESULT res = CheckTransfer(sector, count, offset, length);
    if (res != RES_OK)
        return res;
    return s_instance.WriteRaw(uint32_t(offset), uint32_t(length), data) ? RES_OK : RES_ERROR;
}

DRESULT disk_ioctl(uint8_t drive, uint8_t code, void* buffer) {
    ZocLog::System().Debug("   - disk_ioctl(%hhd, control %hhd)", drive, code);
    return DRESULT(s_instance.IoControl(code, buffer));
}

uint32_t PackFatTime(int year, int month, int day, int hour, int minute, int second) {
    if (year < 1980)
        year = 1980;
    return uint32_t(year - 1980) << 25 | uint32_t(month) << 21 | uint32_t(day) << 16 | uint32_t(hour) << 11 |
           uint32_t(minute) << 5 | uint32_t(second / 2);
}

uint32_t get_fattime() {
    time_t now = time(nullptr);
    tm utc{};
    gmtime_r(&now, &utc);
    return PackFatTime(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
}

const FatMedia* Media() {
    static const FatMedia media = {disk_initialize, disk_status, disk_read,
                                   disk_write,      disk_ioctl,  get_fattime};
    return &media;
}

} // namespace ZocFatFsDiskIo

#pragma once
// The block device the FAT engine works on inside the application: the
// host-side disk image file, serialised by a timed mutex, and the engine's
// disk interface (disk_initialize ... get_fattime) routed to its one instance.
#include "vdisk/fatfs/ZotFatFs.h"

#include <cstdint>
#include <fstream>
#include <mutex>
#include <string>

namespace ZocFatFsDiskIo {

inline constexpr const char* VolumePath = "/";
inline constexpr const char* VolumeLabel = "ZOT-VDISK";

// Disk result codes (the engine's convention).
enum : uint8_t {
    kResOk = 0,
    kResError = 1,
    kResWriteProtected = 2,
    kResNotReady = 3,
    kResInvalidParameter = 4
};
// Status bits.
enum : uint8_t { kStatusNotInitialised = 0x01, kStatusWriteProtected = 0x04 };

class DiskIoBase {
public:
    virtual ~DiskIoBase() = default;
    virtual bool IsReady() const = 0;
    // Detaches the engine's volume ("/") and clears the volume object.
    virtual void Close();
    // Control codes 0 (sync) .. 3 (erase-block size); returns a disk result code.
    virtual uint8_t IoControl(uint8_t code, void* buffer);
    virtual bool ReadRaw(uint32_t offset, uint32_t length, uint8_t* buffer) = 0;
    virtual bool WriteRaw(uint32_t offset, uint32_t length, const uint8_t* buffer) = 0;

    std::timed_mutex mMutex;
    uint8_t mStatus = kStatusNotInitialised;
    uint16_t mSectorSize = 512;
    uint32_t mSectorCount = 0;
    FATFS mFatFs; // the engine's volume object
};

class FileDiskIo : public DiskIoBase {
public:
    // Opens the image for reading and writing as a device of `sizeMiB` MiB.
    bool Open(const std::string& path, uint32_t sizeMiB);
    // True when the volume's label is exactly VolumeLabel; otherwise closes
    // the stream.
    bool VerifyVolumeLabel();

    bool IsReady() const override { return mStream.is_open(); }
    void Close() override;
    uint8_t IoControl(uint8_t code, void* buffer) override;
    // Both report a failed stream (seek, short read, write) as false.
    bool ReadRaw(uint32_t offset, uint32_t length, uint8_t* buffer) override;
    bool WriteRaw(uint32_t offset, uint32_t length, const uint8_t* buffer) override;

    // Closes the stream alone (the engine's volume stays registered).
    void CloseStream();

private:
    std::fstream mStream;
};

// The one block device, created at start-up.
extern FileDiskIo s_instance;

// The disk interface called by the FAT engine (drive 0).
uint8_t disk_initialize(uint8_t drive);
uint8_t disk_status(uint8_t drive);
DRESULT disk_read(uint8_t drive, uint8_t* buffer, uint32_t sector, uint32_t count);
DRESULT disk_write(uint8_t drive, const uint8_t* data, uint32_t sector, uint32_t count);
DRESULT disk_ioctl(uint8_t drive, uint8_t code, void* buffer);
// The current UTC time packed as a FAT time stamp.
uint32_t get_fattime();
// Packs a broken-down UTC time (for get_fattime and tests).
uint32_t PackFatTime(int year, int month, int day, int hour, int minute, int second);

// The table above as the engine's media interface.
const FatMedia* Media();

} // namespace ZocFatFsDiskIo

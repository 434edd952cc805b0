#pragma once
// Helpers for the FAT tests: temporary folders, running the Linux FAT tools
// (the oracle), and mounting an image file with the engine.
#include "vdisk/fatfs/ZotFatFileMedia.h"
#include "vdisk/fatfs/ZotFatFs.h"

#include <cstdint>
#include <string>
#include <vector>

namespace FatTestUtil {

// A fresh temporary folder, removed with its contents by the destructor.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return mPath; }
    std::string operator/(const std::string& name) const { return mPath + "/" + name; }

private:
    std::string mPath;
};

// Runs a shell command (UTF-8 locale, mtools checks relaxed); returns the
// exit status, output (stdout and stderr) in `out`.
int Shell(const std::string& command, std::string* out = nullptr);
std::string Quote(const std::string& s);

// mtools drive spec of an image whose volume starts at `sector`.
std::string MtoolsImage(const std::string& image, uint32_t sector);
// fsck.fat -n on the volume starting at `sector`; true when clean. The
// tool's report goes to `report`.
bool FsckClean(const std::string& image, uint32_t sector, std::string* report = nullptr);

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed);
bool WriteHostFile(const std::string& path, const std::vector<uint8_t>& data);
std::vector<uint8_t> ReadHostFile(const std::string& path);

// The image mounted as the engine's volume "/" for the object's lifetime.
class Mounted {
public:
    explicit Mounted(const std::string& image);
    ~Mounted();
    FRESULT Result() const { return mResult; }
    FATFS& Fs() { return mFs; }

private:
    FATFS mFs;
    FRESULT mResult = FR_NOT_READY;
};

// Engine shortcuts.
FRESULT PutFile(const std::string& path, const std::vector<uint8_t>& data, uint32_t* written = nullptr);
FRESULT GetFile(const std::string& path, std::vector<uint8_t>& data);
// Names in a folder, in directory order.
std::vector<std::string> ListNames(const std::string& path);
// Creates a formatted image of `mib` MiB with our engine.
FRESULT CreateImage(const std::string& image, uint32_t mib, uint8_t fmt);

} // namespace FatTestUtil

#pragma once
// The host side of the virtual disk: the image opened for the application's
// own FAT engine (verified, or created and formatted), and the FAT-backed
// file-system instance the file-sharing dialog browses.
#include "vdisk/ZotFileSystemI.h"

#include <cstdint>
#include <memory>
#include <string>

namespace ZocVirtualDisk::Host {

class DiskImage {
public:
    static constexpr uint32_t kDefaultSizeMiB = 33;

    // The image path ("vdisk.img" in the per-user folder), set at start-up.
    static inline std::string s_filePath;

    // Opens the image at s_filePath (33 MiB when it must be created).
    static bool ForceOpen();
    // Opens and verifies the image; when that fails, moves an existing
    // non-empty file aside (never deleting it) and creates and formats a new
    // image of `sizeMiB` MiB. True when the image is open and mounted.
    static bool ForceOpen(const std::string& path, uint32_t sizeMiB);
    // Opens the image and checks its label; `labelFailed` is true exactly
    // when the file was opened but its label could not be confirmed.
    static bool OpenAndVerify(const std::string& path, bool& labelFailed);
    static void Close();
    static bool IsOpened();
    // Where ForceOpen moved the last unusable image (empty when none).
    static const std::string& LastMovedAside();
};

class FileSystem {
public:
    // The one FAT-backed file system (created on first call).
    static std::shared_ptr<ZotFileSystemI> GetInstance();
};

} // namespace ZocVirtualDisk::Host

#pragma once
// The inside of the host-side disk image ("/" of the FAT engine) as a
// ZotFileSystemI. Failures are logged and shown as toasts.
#include "vdisk/ZotFileSystemI.h"

class ZocFileSystemOnFatFs : public ZotFileSystemI {
public:
    static constexpr const char* FsRoot = "/";
    static constexpr const char* FsRootAlt = "/";
    static constexpr uint64_t kMaxCopyInSize = 10485760; // 10 MiB
    static constexpr uint32_t kCopyChunk = 1024;

    bool ParsePathFileName(const std::string& pathFileName, std::string& path,
                           std::string& fileName) override;
    std::string GetFullPath(const std::string& path) override;
    bool IsDirectory(const std::string& path) override;
    bool IsDirectoryCanBeOpened(const std::string& path) override;
    bool IsDirectoryExist(const std::string& path) override;
    bool CreateDirectory_(const std::string& path) override;
    bool DeleteDirectory(const std::string& path) override;
    void ScanDirectory(const std::string& path, const ScanCallback& callback) override;
    bool IsFileExist(const std::string& path) override;
    bool GetFileInfo(const std::string& path, uint64_t& size, int64_t& modified) override;
    bool RemoveFile(const std::string& path) override;
    bool CopyFileToHere(const std::string& source, const std::string& destination) override;
    bool CopyFileFromHere(const std::string& source, const std::string& destination) override;

    // Seconds since 1970 (UTC) of a FAT date and time.
    static int64_t FatTimeToUnix(uint16_t date, uint16_t time);
};

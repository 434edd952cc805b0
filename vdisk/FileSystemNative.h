#pragma once
// The Mac's (here: the host's) own file system as a ZotFileSystemI.
#include "vdisk/ZotFileSystemI.h"

#include <memory>

class FileSystemNative : public ZotFileSystemI {
public:
    // The one native instance (created on first call); the file browser's
    // default file system.
    static std::shared_ptr<ZotFileSystemI> GetInstance();

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
};

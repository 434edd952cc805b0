#pragma once
// The pluggable file system a file browser works through: the Mac's own
// (native) or the inside of the disk image (FAT). Paths are UTF-8 with '/'.
#include <cstdint>
#include <functional>
#include <string>

class ZotFileSystemI {
public:
    enum class ContentType : int { Directory = 0, File = 1, Link = 2 };
    // (folder path, entry name, kind, flag: always false for the FAT implementation)
    using ScanCallback = std::function<void(const std::string&, const std::string&, ContentType, bool)>;

    static constexpr const char* PathSeparatorS = "/";
    static constexpr char PathSeparatorC = '/';

    virtual ~ZotFileSystemI() = default;
    virtual bool ParsePathFileName(const std::string& pathFileName, std::string& path,
                                   std::string& fileName) = 0;
    virtual std::string GetFullPath(const std::string& path) = 0;
    virtual bool IsDirectory(const std::string& path) = 0;
    virtual bool IsDirectoryCanBeOpened(const std::string& path) = 0;
    virtual bool IsDirectoryExist(const std::string& path) = 0;
    virtual bool CreateDirectory_(const std::string& path) = 0;
    virtual bool DeleteDirectory(const std::string& path) = 0;
    virtual void ScanDirectory(const std::string& path, const ScanCallback& callback) = 0;
    virtual bool IsFileExist(const std::string& path) = 0;
    // Size in bytes and modification time in seconds since 1970 (UTC).
    virtual bool GetFileInfo(const std::string& path, uint64_t& size, int64_t& modified) = 0;
    virtual bool RemoveFile(const std::string& path) = 0;
    // Source outside this file system, destination inside.
    virtual bool CopyFileToHere(const std::string& source, const std::string& destination) = 0;
    // Source inside this file system, destination outside.
    virtual bool CopyFileFromHere(const std::string& source, const std::string& destination) = 0;
};

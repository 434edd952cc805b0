#include "vdisk/FileSystemNative.h"

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

std::shared_ptr<ZotFileSystemI> FileSystemNative::GetInstance() {
    static std::shared_ptr<ZotFileSystemI> instance = std::make_shared<FileSystemNative>();
    return instance;
}

std::string FileSystemNative::GetFullPath(const std::string& path) {
    std::error_code ec;
    fs::path full = fs::canonical(path, ec);
    return ec ? std::string() : full.string();
}

bool FileSystemNative::IsDirectory(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool FileSystemNative::IsDirectoryExist(const std::string& path) {
    return !path.empty() && IsDirectory(path);
}

bool FileSystemNative::IsDirectoryCanBeOpened(const std::string& path) {
    std::error_code ec;
    if (!fs::is_directory(path, ec))
        return false;
    fs::directory_iterator it(path, ec);
    return !ec;
}

bool FileSystemNative::ParsePathFileName(const std::string& pathFileName, std::string& path,
                                         std::string& fileName) {
    path.clear();
    fileName.clear();
    if (pathFileName.empty())
        return false;
    std::error_code ec;
    if (fs::is_directory(pathFileName, ec)) {
        path = pathFileName;
        return true;
    }
    if (fs::is_regular_file(pathFileName, ec)) {
        fs::path p(pathFileName);
        path = p.parent_path().string();
        fileName = p.filename().string();
        return true;
    }
    return false;
}

bool FileSystemNative::CreateDirectory_(const std::string& path) {
    std::error_code ec;
    return fs::create_directory(path, ec);
}

bool FileSystemNative::DeleteDirectory(const std::string& path) {
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(path, ec)))
        return false;
    return fs::remove(path, ec);
}

bool FileSystemNative::RemoveFile(const std::string& path) {
    std::error_code ec;
    return fs::remove(path, ec);
}

void FileSystemNative::ScanDirectory(const std::string& path, const ScanCallback& callback) {
    callback(path, "..", ContentType::Directory, false);
    std::error_code ec;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code sec;
        fs::file_status st = it->symlink_status(sec);
        ContentType type;
        if (fs::is_symlink(st))
            type = ContentType::Link;
        else if (fs::is_directory(st))
            type = ContentType::Directory;
        else if (fs::is_regular_file(st))
            type = ContentType::File;
        else
            continue;
        callback(path, it->path().filename().string(), type, false);
    }
}

bool FileSystemNative::IsFileExist(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

bool FileSystemNative::GetFileInfo(const std::string& path, uint64_t& size, int64_t& modified) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return false;
    size = uint64_t(st.st_size);
    modified = int64_t(st.st_mtime);
    return true;
}

bool FileSystemNative::CopyFileToHere(const std::string& source, const std::string& destination) {
    std::error_code ec;
    return fs::copy_file(source, destination, fs::copy_options::none, ec);
}

bool FileSystemNative::CopyFileFromHere(const std::string& source, const std::string& destination) {
    return CopyFileToHere(source, destination);
}

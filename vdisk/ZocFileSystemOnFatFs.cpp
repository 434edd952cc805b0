#include "vdisk/ZocFileSystemOnFatFs.h"

#include "app/ZocLog.h"
#include "ui/ImGuiToast.h"
#include "vdisk/ZocFatFsDiskIo.h"
#include "vdisk/fatfs/ZotFatFs.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace {

void Toast(ImGuiToastType type, const char* text) {
    ImGui::InsertNotification(ImGuiToast(type, 4000, "%s", text));
}
void ErrorToast(const char* text) {
    Toast(ImGuiToastType_Error, text);
}

// A file name taken from the image may only name an entry inside the
// destination folder: not empty, not "." or "..", no separator.
bool IsPlainName(const std::string& name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    for (char c : name) {
        if (c == '/' || c == '\\' || (unsigned char)c < 0x20)
            return false;
    }
    return true;
}

// No "." or ".." component anywhere in the path, and a plain last name.
bool IsContainedPath(const std::string& path) {
    size_t start = 0;
    std::string last;
    for (;;) {
        size_t sep = path.find('/', start);
        std::string part = path.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
        if (part == "." || part == "..")
            return false;
        if (sep == std::string::npos) {
            last = part;
            break;
        }
        start = sep + 1;
    }
    return IsPlainName(last);
}

} // namespace

int64_t ZocFileSystemOnFatFs::FatTimeToUnix(uint16_t date, uint16_t time) {
    tm t{};
    t.tm_year = 1980 + (date >> 9) - 1900;
    t.tm_mon = ((date >> 5) & 15) - 1;
    t.tm_mday = date & 31;
    t.tm_hour = time >> 11;
    t.tm_min = (time >> 5) & 63;
    t.tm_sec = (time & 31) * 2;
    return int64_t(timegm(&t));
}

std::string ZocFileSystemOnFatFs::GetFullPath(const std::string& path) {
    if (path.empty() || path == ".")
        return "/";
    if (path[0] == '/')
        return path;
    return "/" + path;
}

bool ZocFileSystemOnFatFs::IsDirectory(const std::string& path) {
    if (path.empty())
        return false;
    if (path == "." || path == "..")
        return true;
    if (path.size() == 1 && path[0] == '/')
        return true;
    FILINFO fi;
    FRESULT res = f_stat(path.c_str(), &fi);
    if (res == FR_NO_FILE)
        return false;
    if (res == FR_OK)
        return (fi.fattrib & AM_DIR) != 0;
    ZocLog::System().Error("Failed to test path: %s, fr code %d", path.c_str(), int(res));
    ErrorToast("Failed to test path");
    return false;
}

bool ZocFileSystemOnFatFs::IsDirectoryExist(const std::string& path) {
    return IsDirectory(path);
}

bool ZocFileSystemOnFatFs::IsDirectoryCanBeOpened(const std::string& path) {
    FF_DIR dir;
    if (f_opendir(&dir, path.c_str()) != FR_OK)
        return false;
    f_closedir(&dir);
    return true;
}

bool ZocFileSystemOnFatFs::ParsePathFileName(const std::string& pathFileName, std::string& path,
                                             std::string& fileName) {
    path.clear();
    fileName.clear();
    if (pathFileName.empty())
        return false;
    if (IsDirectory(pathFileName)) {
        path = pathFileName;
        return true;
    }
    size_t slash = pathFileName.rfind('/');
    if (slash == std::string::npos) {
        fileName = pathFileName;
    } else {
        path = pathFileName.substr(0, slash);
        fileName = pathFileName.substr(slash + 1);
    }
    return true;
}

bool ZocFileSystemOnFatFs::CreateDirectory_(const std::string& path) {
    FRESULT res = f_mkdir(path.c_str());
    if (res != FR_OK) {
        ZocLog::System().Error("Failed to create directory: %s, fr code %d", path.c_str(), int(res));
        ErrorToast("Failed to create directory");
        return false;
    }
    return true;
}

bool ZocFileSystemOnFatFs::DeleteDirectory(const std::string& path) {
    FRESULT res = f_unlink(path.c_str());
    if (res != FR_OK) {
        ZocLog::System().Error("Failed to delete directory: %s, fr code %d", path.c_str(), int(res));
        ErrorToast("Failed to delete directory");
        return false;
    }
    return true;
}

bool ZocFileSystemOnFatFs::RemoveFile(const std::string& path) {
    return DeleteDirectory(path);
}

void ZocFileSystemOnFatFs::ScanDirectory(const std::string& path, const ScanCallback& callback) {
    callback(path, "..", ContentType::Directory, false);
    FF_DIR dir;
    FRESULT res = f_opendir(&dir, path.c_str());
    if (res != FR_OK) {
        ZocLog::System().Warn("Failed to open folder: %s, fr code %d", path.c_str(), int(res));
        ErrorToast("Failed to open directory to scan");
        return;
    }
    FILINFO fi;
    while (f_readdir(&dir, &fi) == FR_OK && fi.fname[0])
        callback(path, fi.fname, (fi.fattrib & AM_DIR) ? ContentType::Directory : ContentType::File, false);
    f_closedir(&dir);
}

bool ZocFileSystemOnFatFs::IsFileExist(const std::string& path) {
    FILINFO fi;
    return f_stat(path.c_str(), &fi) == FR_OK;
}

bool ZocFileSystemOnFatFs::GetFileInfo(const std::string& path, uint64_t& size, int64_t& modified) {
    FILINFO fi;
    if (f_stat(path.c_str(), &fi) != FR_OK)
        return false;
    size = fi.fsize;
    modified = FatTimeToUnix(fi.fdate, fi.ftime);
    return true;
}

bool ZocFileSystemOnFatFs::CopyFileToHere(const std::string& source, const std::string& destination) {
    if (source.empty() || destination.empty()) {
        ZocLog::Application().Error("No src or dst path supplied, ignore copy");
        ErrorToast("No source or destinition path supplied");
        return false;
    }
    std::ifstream in(source, std::ios::binary);
    if (!in.is_open()) {
        ZocLog::System().Error("Failed to open source file to copy, %s", source.c_str());
        ErrorToast("Failed to open source file to copy");
        return false;
    }
    in.seekg(0, std::ios::end);
    std::streamoff length = in.tellg();
    in.seekg(0, std::ios::beg);
    uint64_t size = length < 0 ? 0 : uint64_t(length);
    if (length < 0 || size > kMaxCopyInSize) {
        ZocLog::Application().Info("The source file is too big to copy, %s", source.c_str());
        ErrorToast("The source file is too big to copy");
        return false;
    }
    uint32_t freeClusters = 0;
    FATFS* fs = nullptr;
    FRESULT res = f_getfree(ZocFatFsDiskIo::VolumePath, &freeClusters, &fs);
    if (res != FR_OK) {
        ZocLog::System().Error("Failed to check the free space on the virtual disk, fr code %d", int(res));
        ErrorToast("Failed to check the free space on the virtual disk");
        return false;
    }
    if (!(size + 512 < uint64_t(freeClusters) * fs->csize * 512)) {
        ZocLog::Application().Info("No enough space to copy to the virtual disk");
        Toast(ImGuiToastType_Info, "No enough space to copy to the virtual disk");
        return false;
    }
    FIL file;
    res = f_open(&file, destination.c_str(), FA_WRITE | FA_CREATE_ALWAYS);
    if (res != FR_OK) {
        ZocLog::System().Error("Failed to open destination file to copy, %s, fr code %d", destination.c_str(),
                               int(res));
        ErrorToast("Failed to open destination file to copy");
        return false;
    }
    char buffer[kCopyChunk];
    for (uint64_t remaining = size; remaining > 0;) {
        uint32_t want = uint32_t(remaining < kCopyChunk ? remaining : kCopyChunk);
        in.read(buffer, want);
        if (in.gcount() != std::streamsize(want)) {
            // The source shrank or failed: a shortened copy is not a success.
            ZocLog::System().Error("Failed to read source file to copy, %s", source.c_str());
            ErrorToast("Failed to read source file to copy");
            f_close(&file);
            return false;
        }
        uint32_t written = 0;
        res = f_write(&file, buffer, want, &written);
        if (res != FR_OK) {
            ZocLog::Application().Error("Failed to wrote to destination, %s, fr code %d", destination.c_str(),
                                        int(res));
            ErrorToast("Failed to wrote to destination");
            f_close(&file);
            return false;
        }
        if (written < want) {
            ZocLog::Application().Warn("Destination disk is full");
            ErrorToast("The virtual disk is full");
            f_close(&file);
            return false;
        }
        remaining -= want;
    }
    res = f_close(&file);
    if (res != FR_OK) {
        ZocLog::Application().Error("Failed to wrote to destination, %s, fr code %d", destination.c_str(),
                                    int(res));
        ErrorToast("Failed to wrote to destination");
        return false;
    }
    return true;
}

bool ZocFileSystemOnFatFs::CopyFileFromHere(const std::string& source, const std::string& destination) {
    if (source.empty() || destination.empty()) {
        ZocLog::Application().Error("No src or dst path supplied, ignore copy");
        ErrorToast("No source or destination path supplied, ignore copy");
        return false;
    }
    // The destination's name comes from the image, which the target wrote.
    if (!IsContainedPath(destination)) {
        ZocLog::System().Error("Refused to copy to a destination outside its folder, %s",
                               destination.c_str());
        ErrorToast("The file name is not safe to copy");
        return false;
    }
    // The source is checked before the destination is touched, so that a
    // failed copy does not empty an existing file.
    FILINFO fi;
    FRESULT res = f_stat(source.c_str(), &fi);
    if (res != FR_OK) {
        ZocLog::System().Error("Failed to get src file info, %s, fr code %d", source.c_str(), int(res));
        ErrorToast("Failed to get source file info");
        return false;
    }
    FIL file;
    res = f_open(&file, source.c_str(), FA_READ);
    if (res != FR_OK) {
        ZocLog::System().Error("Failed to open src file to copy, %s, fr code %d", source.c_str(), int(res));
        ErrorToast("Failed to open srouce file to copy");
        return false;
    }
    // O_NOFOLLOW: a link planted under the image's file name is not followed.
    int fd = open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        ZocLog::System().Error("Failed to open destinition file to copy, %s", destination.c_str());
        ErrorToast("Failed to open destinition file to copy");
        f_close(&file);
        return false;
    }
    bool ok = true;
    char buffer[kCopyChunk];
    for (uint32_t remaining = fi.fsize; remaining > 0 && ok;) {
        uint32_t got = 0;
        res = f_read(&file, buffer, remaining < kCopyChunk ? remaining : kCopyChunk, &got);
        if (res != FR_OK || got == 0) {
            ZocLog::Application().Error("Failed to read to copy, %s, fr code %d", source.c_str(), int(res));
            ErrorToast("Failed to read source file to copy");
            ok = false;
            break;
        }
        for (uint32_t done = 0; done < got;) {
            ssize_t n = write(fd, buffer + done, got - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                ZocLog::System().Error("Failed to write destination file, %s, error %d", destination.c_str(),
                                       errno);
                ErrorToast("Failed to write destination file");
                ok = false;
                break;
            }
            done += uint32_t(n);
        }
        remaining -= got;
    }
    f_close(&file);
    if (close(fd) != 0 && ok) {
        ZocLog::System().Error("Failed to write destination file, %s, error %d", destination.c_str(), errno);
        ErrorToast("Failed to write destination file");
        ok = false;
    }
    return ok;
}

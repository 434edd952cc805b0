#include "vdisk/ZocVirtualDiskHost.h"

#include "app/ZocLog.h"
#include "app/ZocSettings.h"
#include "app/ZocUtils.h"
#include "vdisk/ZocFatFsDiskIo.h"
#include "vdisk/ZocFileSystemOnFatFs.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace ZocVirtualDisk::Host {

namespace {

constexpr uint64_t kMiB = 1048576;
using ZocFatFsDiskIo::s_instance;

std::string s_movedAside;

// Detaches the engine's volume and closes the stream.
void CloseAll() {
    s_instance.Close();
}

// Renames a non-empty file at `path` to "<path>.bak-<date_time>" so that a
// fresh image can take its place. True when nothing is left to keep.
bool MoveAside(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec)))
        return true;
    if (std::filesystem::is_regular_file(path, ec) && std::filesystem::file_size(path, ec) == 0 && !ec)
        return true;
    std::string target = path + ".bak-" + ZocUtils::String::GetCompactDateTimeString();
    for (int n = 2; std::filesystem::exists(std::filesystem::symlink_status(target, ec)); ++n)
        target = path + ".bak-" + ZocUtils::String::GetCompactDateTimeString() + "-" + std::to_string(n);
    if (std::rename(path.c_str(), target.c_str()) != 0) {
        ZocLog::System().Error(
            "Failed to move the unusable disk image %s aside, error %d; it is left as it is", path.c_str(),
            errno);
        return false;
    }
    s_movedAside = target;
    ZocLog::System().Warn("The unusable disk image %s was moved to %s", path.c_str(), target.c_str());
    return true;
}

} // namespace

bool DiskImage::ForceOpen() {
    return ForceOpen(s_filePath, kDefaultSizeMiB);
}

bool DiskImage::OpenAndVerify(const std::string& path, bool& labelFailed) {
    labelFailed = false;
    uint64_t size = 0;
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) {
        size = std::filesystem::file_size(path, ec);
        if (ec) {
            ZocLog::System().Info("No size for disk image file could be got");
            size = 0;
        } else if (size % kMiB != 0) {
            ZocLog::System().Error("The image file is not aligned to the MB boundary: %zu", size_t(size));
            size = 0;
        } else if (size > 1073741824ull) {
            ZocLog::System().Error("The image file is too big: %zu", size_t(size));
            size = 0;
        }
    }
    if (size < kMiB)
        return false;
    if (!s_instance.Open(path, uint32_t(size / kMiB)))
        return false;
    FRESULT res = f_mount(&s_instance.mFatFs, ZocFatFsDiskIo::VolumePath, 0);
    if (res != FR_OK) {
        s_instance.CloseStream();
        ZocLog::System().Error("Failed to mount disk image, error %d", int(res));
        return false;
    }
    bool ok = s_instance.VerifyVolumeLabel();
    labelFailed = !ok;
    return ok;
}

bool DiskImage::ForceOpen(const std::string& path, uint32_t sizeMiB) {
    if (IsOpened())
        return true;
    bool labelFailed = false;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (OpenAndVerify(path, labelFailed))
            return true;
        if (!labelFailed)
            break;
    }
    // Never destroy what is there: an image the target relabelled or damaged
    // still holds the user's files.
    if (!MoveAside(path)) {
        CloseAll();
        return false;
    }
    {
        errno = 0;
        std::ofstream create(path, std::ios::out | std::ios::binary | std::ios::trunc);
        if (!create.is_open()) {
            ZocLog::System().Error("Failed to create disk image %s , error %d", path.c_str(), errno);
            CloseAll();
            return false;
        }
        create.seekp(std::streamoff(uint64_t(sizeMiB) * kMiB - 1));
        create.put('\0');
        create.close();
        if (!create) {
            ZocLog::System().Error("Failed to create disk image %s , error %d", path.c_str(), errno);
            CloseAll();
            return false;
        }
    }
    if (!s_instance.Open(path, sizeMiB)) {
        CloseAll();
        return false;
    }
    FRESULT res = f_mount(&s_instance.mFatFs, ZocFatFsDiskIo::VolumePath, 0);
    if (res != FR_OK) {
        ZocLog::System().Error("Failed to mount disk image, error %d", int(res));
        CloseAll();
        return false;
    }
    MKFS_PARM opt;
    opt.fmt = ZocSettings::Instance().vDisk.forceFat32 ? FM_FAT32 : FM_ANY;
    opt.n_fat = 0;
    opt.align = 0;
    opt.n_root = 0;
    opt.au_size = 0;
    std::vector<uint8_t> work(16384, 0);
    res = f_mkfs(ZocFatFsDiskIo::VolumePath, &opt, work.data(), uint32_t(work.size()));
    if (res != FR_OK) {
        ZocLog::System().Error("Failed to format disk image, error %d", int(res));
        CloseAll();
        return false;
    }
    f_setlabel(ZocFatFsDiskIo::VolumeLabel);
    return true;
}

void DiskImage::Close() {
    s_instance.Close();
}

bool DiskImage::IsOpened() {
    return s_instance.IsReady();
}

const std::string& DiskImage::LastMovedAside() {
    return s_movedAside;
}

std::shared_ptr<ZotFileSystemI> FileSystem::GetInstance() {
    static std::shared_ptr<ZotFileSystemI> instance = std::make_shared<ZocFileSystemOnFatFs>();
    return instance;
}

} // namespace ZocVirtualDisk::Host

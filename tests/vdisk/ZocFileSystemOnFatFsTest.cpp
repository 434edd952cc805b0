// The file-system interface over the image and over the host: paths, scans,
// the copy limits, and copying out never leaving the destination folder.
#include "vdisk/ZocFileSystemOnFatFs.h"
#include "FatTestUtil.h"
#include "app/AppTestLog.h"
#include "app/ZocSettings.h"
#include "vdisk/FileSystemNative.h"
#include "vdisk/ZocVirtualDiskHost.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

using namespace FatTestUtil;
using ZocVirtualDisk::Host::DiskImage;

namespace {

class FatFileSystem : public testing::Test {
protected:
    void SetUp() override {
        AppTestLog::Folder();
        ZocSettings::ResetForTesting();
        ASSERT_TRUE(DiskImage::ForceOpen(tmp / "vdisk.img", 33));
        fs = ZocVirtualDisk::Host::FileSystem::GetInstance();
    }
    void TearDown() override { DiskImage::Close(); }
    // Fills the image so that exactly `bytes` (a multiple of 512) stay free.
    void LeaveFree(uint64_t bytes) {
        uint32_t clusters;
        FATFS* vol;
        ASSERT_EQ(f_getfree("/", &clusters, &vol), FR_OK);
        ASSERT_EQ(vol->csize, 1);
        uint32_t written;
        ASSERT_EQ(PutFile("/filler.bin", std::vector<uint8_t>(size_t(clusters * 512ull - bytes)), &written),
                  FR_OK);
    }
    TempDir tmp;
    std::shared_ptr<ZotFileSystemI> fs;
};

} // namespace

TEST_F(FatFileSystem, PathsAndScanning) {
    ASSERT_TRUE(fs->CreateDirectory_("/docs"));
    ASSERT_EQ(PutFile("/docs/readme.txt", {1, 2, 3}), FR_OK);
    ASSERT_EQ(PutFile("/readme.txt", {}), FR_OK);
    struct Case {
        const char* in;
        const char* path;
        const char* name;
    };
    for (const Case& c : {Case{"/docs/readme.txt", "/docs", "readme.txt"},
                          Case{"/readme.txt", "", "readme.txt"}, Case{"/docs", "/docs", ""}}) {
        std::string path, name;
        EXPECT_TRUE(fs->ParsePathFileName(c.in, path, name));
        EXPECT_EQ(path, c.path) << c.in;
        EXPECT_EQ(name, c.name) << c.in;
    }
    EXPECT_EQ(fs->GetFullPath("docs"), "/docs");
    EXPECT_EQ(fs->GetFullPath("."), "/");
    EXPECT_TRUE(fs->IsDirectory("/docs"));
    EXPECT_FALSE(fs->IsDirectory("/docs/readme.txt"));
    EXPECT_FALSE(fs->IsDirectory("/missing"));
    EXPECT_TRUE(fs->IsFileExist("/docs/readme.txt"));

    std::vector<std::pair<std::string, ZotFileSystemI::ContentType>> seen;
    auto collect = [&](const std::string&, const std::string& name, ZotFileSystemI::ContentType type, bool) {
        seen.emplace_back(name, type);
    };
    fs->ScanDirectory("/", collect);
    using T = ZotFileSystemI::ContentType;
    EXPECT_EQ(seen, (decltype(seen){{"..", T::Directory}, {"docs", T::Directory}, {"readme.txt", T::File}}));
    ASSERT_TRUE(fs->CreateDirectory_("/empty"));
    seen.clear();
    fs->ScanDirectory("/empty", collect);
    EXPECT_EQ(seen, (decltype(seen){{"..", T::Directory}}));

    EXPECT_FALSE(fs->DeleteDirectory("/docs")); // not empty
    EXPECT_TRUE(fs->RemoveFile("/docs/readme.txt"));
    EXPECT_TRUE(fs->DeleteDirectory("/docs"));
}

TEST_F(FatFileSystem, FileTimeIsUtc) {
    // 2026-12-09 12:34:56 as stored on disk.
    uint16_t date = uint16_t((2026 - 1980) << 9 | 12 << 5 | 9), time = uint16_t(12 << 11 | 34 << 5 | 28);
    EXPECT_EQ(ZocFileSystemOnFatFs::FatTimeToUnix(date, time), 1796819696);
    ASSERT_EQ(PutFile("/t.txt", {1}), FR_OK);
    uint64_t size = 0;
    int64_t modified = 0;
    ASSERT_TRUE(fs->GetFileInfo("/t.txt", size, modified));
    EXPECT_EQ(size, 1u);
    EXPECT_LE(std::abs(modified - int64_t(::time(nullptr))), 4);
}

TEST_F(FatFileSystem, CopyInLimits) {
    WriteHostFile(tmp / "10mib", RandomBytes(10485760, 1));
    WriteHostFile(tmp / "10mib+1", RandomBytes(10485761, 2));
    AppTestLog log;
    EXPECT_TRUE(fs->CopyFileToHere(tmp / "10mib", "/10mib"));
    std::vector<uint8_t> back;
    ASSERT_EQ(GetFile("/10mib", back), FR_OK);
    EXPECT_EQ(back, RandomBytes(10485760, 1));
    EXPECT_FALSE(fs->CopyFileToHere(tmp / "10mib+1", "/10mib+1"));
    EXPECT_TRUE(log.Contains("The source file is too big to copy, " + (tmp / "10mib+1"))) << log.Since();
    EXPECT_FALSE(fs->IsFileExist("/10mib+1"));
    EXPECT_FALSE(fs->CopyFileToHere("", "/x"));
    EXPECT_TRUE(log.Contains("No src or dst path supplied, ignore copy"));
    EXPECT_FALSE(fs->CopyFileToHere(tmp / "missing", "/x"));
    EXPECT_TRUE(log.Contains("Failed to open source file to copy"));
}

TEST_F(FatFileSystem, CopyInNeedsFreeSpaceBeyondTheFile) {
    LeaveFree(64 * 1024);
    WriteHostFile(tmp / "fits", RandomBytes(64 * 1024 - 513, 3));
    WriteHostFile(tmp / "too big", RandomBytes(64 * 1024 - 512, 4));
    AppTestLog log;
    EXPECT_FALSE(fs->CopyFileToHere(tmp / "too big", "/too big"));
    EXPECT_TRUE(log.Contains("No enough space to copy to the virtual disk"));
    EXPECT_FALSE(fs->IsFileExist("/too big"));
    EXPECT_TRUE(fs->CopyFileToHere(tmp / "fits", "/fits"));
}

TEST_F(FatFileSystem, CopyOut) {
    ASSERT_EQ(PutFile("/empty.txt", {}), FR_OK);
    ASSERT_EQ(PutFile("/data.bin", RandomBytes(3000, 5)), FR_OK);
    std::filesystem::create_directory(tmp / "out");
    EXPECT_TRUE(fs->CopyFileFromHere("/empty.txt", tmp / "out/empty.txt"));
    EXPECT_TRUE(std::filesystem::exists(tmp / "out/empty.txt"));
    EXPECT_EQ(std::filesystem::file_size(tmp / "out/empty.txt"), 0u);
    EXPECT_TRUE(fs->CopyFileFromHere("/data.bin", tmp / "out/data.bin"));
    EXPECT_EQ(ReadHostFile(tmp / "out/data.bin"), RandomBytes(3000, 5));

    // A missing source leaves an existing destination alone.
    AppTestLog log;
    EXPECT_FALSE(fs->CopyFileFromHere("/missing", tmp / "out/data.bin"));
    EXPECT_TRUE(log.Contains("Failed to get src file info, /missing, fr code 4")) << log.Since();
    EXPECT_EQ(ReadHostFile(tmp / "out/data.bin"), RandomBytes(3000, 5));
}

TEST_F(FatFileSystem, CopyOutNeverLeavesTheDestinationFolder) {
    ASSERT_EQ(PutFile("/data.bin", RandomBytes(100, 6)), FR_OK);
    std::filesystem::create_directory(tmp / "out");
    // Names a hostile image could make a caller compose.
    for (const char* name : {"..", "../escaped.bin", ".", ""}) {
        std::string dst = tmp / ("out/" + std::string(name));
        EXPECT_FALSE(fs->CopyFileFromHere("/data.bin", dst)) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(tmp / "escaped.bin"));
    // A link planted under the file's name is not followed.
    std::filesystem::create_symlink(tmp / "victim", tmp / "out/data.bin");
    EXPECT_FALSE(fs->CopyFileFromHere("/data.bin", tmp / "out/data.bin"));
    EXPECT_FALSE(std::filesystem::exists(tmp / "victim"));
}

TEST(NativeFileSystem, PathsScanAndCopy) {
    TempDir tmp;
    auto fs = FileSystemNative::GetInstance();
    std::filesystem::create_directory(tmp / "docs");
    WriteHostFile(tmp / "docs/readme.txt", {1, 2});
    std::string path, name;
    EXPECT_TRUE(fs->ParsePathFileName(tmp / "docs/readme.txt", path, name));
    EXPECT_EQ(path, tmp / "docs");
    EXPECT_EQ(name, "readme.txt");
    EXPECT_TRUE(fs->ParsePathFileName(tmp / "docs", path, name));
    EXPECT_EQ(path, tmp / "docs");
    EXPECT_EQ(name, "");
    EXPECT_FALSE(fs->IsDirectoryExist(""));
    EXPECT_EQ(fs->GetFullPath(tmp / "docs/../docs"), tmp / "docs");
    std::vector<std::string> names;
    fs->ScanDirectory(tmp / "docs", [&](const std::string&, const std::string& n, ZotFileSystemI::ContentType,
                                        bool) { names.push_back(n); });
    EXPECT_EQ(names, (std::vector<std::string>{"..", "readme.txt"}));
    EXPECT_TRUE(fs->CopyFileToHere(tmp / "docs/readme.txt", tmp / "copy.txt"));
    EXPECT_FALSE(fs->CopyFileToHere(tmp / "docs/readme.txt", tmp / "copy.txt")); // exists
    EXPECT_FALSE(fs->DeleteDirectory(tmp / "copy.txt"));
    EXPECT_TRUE(fs->RemoveFile(tmp / "copy.txt"));
}

// The disk image of the application: partition look-up, size and label
// checks, creation by force (without ever destroying an existing image) and
// the block device under the engine.
#include "vdisk/ZocVirtualDiskHost.h"
#include "FatTestUtil.h"
#include "app/AppTestLog.h"
#include "app/ZocSettings.h"
#include "vdisk/ZocFatFsDiskIo.h"
#include "vdisk/ZocVirtualDiskPartition.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace FatTestUtil;
using ZocVirtualDisk::Host::DiskImage;

namespace {

class VirtualDiskHost : public testing::Test {
protected:
    void SetUp() override {
        AppTestLog::Folder();
        ZocSettings::ResetForTesting();
        path = tmp / "vdisk.img";
    }
    void TearDown() override { DiskImage::Close(); }

    static void Resize(const std::string& file, uint64_t bytes) {
        std::ofstream(file, std::ios::binary | std::ios::app).close();
        ASSERT_EQ(truncate(file.c_str(), off_t(bytes)), 0);
    }

    TempDir tmp;
    std::string path;
};

// 512-byte sector 0 with the given partition types and start LBAs.
std::string Mbr(std::initializer_list<std::pair<uint8_t, uint32_t>> entries, bool signature = true) {
    std::string s(512, '\0');
    int i = 0;
    for (auto [type, lba] : entries) {
        char* pe = &s[446 + 16 * i++];
        pe[4] = char(type);
        for (int k = 0; k < 4; ++k)
            pe[8 + k] = char(lba >> (8 * k));
    }
    if (signature)
        s[510] = char(0x55), s[511] = char(0xAA);
    return s;
}

std::string Boot(uint16_t count16, uint32_t count32) {
    std::string s(512, '\0');
    s[11] = 0x00, s[12] = 0x02;
    s[19] = char(count16), s[20] = char(count16 >> 8);
    for (int k = 0; k < 4; ++k)
        s[32 + k] = char(count32 >> (8 * k));
    s[510] = char(0x55), s[511] = char(0xAA);
    return s;
}

} // namespace

TEST_F(VirtualDiskHost, PartitionLookUp) {
    struct Case {
        const char* what;
        std::string image;
        bool ok;
        uint32_t offset, count;
        const char* logged;
    };
    std::string pad(512 * 7, '\0'); // sectors 1..7
    const Case cases[] = {
        {"second entry used after a CHS FAT32 entry", Mbr({{0x0B, 8}, {0x06, 8}}) + pad + Boot(0, 70000),
         true, 4096, 70000, nullptr},
        {"16-bit sector count", Mbr({{0x04, 8}}) + pad + Boot(30000, 0), true, 4096, 30000, nullptr},
        {"protective entry without a boot sector", Mbr({{0xEE, 1}}) + std::string(512, '\0'), false, 0, 0,
         "Invalid boot sector signature: 0"},
        {"no FAT partition", Mbr({{0x83, 8}}), false, 0, 0, "No FAT partition found"},
        {"bad MBR signature", Mbr({{0x06, 8}}, false), false, 0, 0, "Invalid MBR signature: 0"},
        {"offset at 2 GiB", Mbr({{0x06, 0x400000}}), false, 0, 0, nullptr},
        {"offset wrapping round 32 bits", Mbr({{0x06, 0x800001}}) + pad + Boot(0, 70000), false, 0, 0,
         nullptr},
    };
    for (const Case& c : cases) {
        AppTestLog log;
        std::istringstream in(c.image);
        uint32_t offset = 0, bps = 0, count = 0;
        EXPECT_EQ(ZocVirtualDisk::Partition::GetFatPartitionInfo(in, offset, bps, count), c.ok) << c.what;
        if (c.ok) {
            EXPECT_EQ(offset, c.offset) << c.what;
            EXPECT_EQ(bps, 512u) << c.what;
            EXPECT_EQ(count, c.count) << c.what;
        }
        if (c.logged) {
            EXPECT_TRUE(log.Contains(c.logged)) << c.what << "\n" << log.Since();
        }
    }
}

TEST_F(VirtualDiskHost, SizeChecksOfAnExistingImage) {
    struct Case {
        uint64_t bytes;
        const char* logged; // null: refused without a log line
        bool labelFailed;
    };
    const Case cases[] = {
        {0, nullptr, false},
        {(1 << 20) + 1, "The image file is not aligned to the MB boundary: 1048577", false},
        {300ull << 20, "The disk size request is too large (300 MB)", false},
        {2ull << 30, "The image file is too big: 2147483648", false},
        {1 << 20, "Failed to read disk label, error 13", true}, // opened, but no volume in it
    };
    for (const Case& c : cases) {
        std::remove(path.c_str());
        Resize(path, c.bytes);
        AppTestLog log;
        bool labelFailed = !c.labelFailed;
        EXPECT_FALSE(DiskImage::OpenAndVerify(path, labelFailed)) << c.bytes;
        EXPECT_EQ(labelFailed, c.labelFailed) << c.bytes;
        if (c.logged)
            EXPECT_TRUE(log.Contains(c.logged)) << c.bytes << "\n" << log.Since();
        else
            EXPECT_EQ(log.Since().find("image file"), std::string::npos) << log.Since();
        DiskImage::Close();
    }
}

TEST_F(VirtualDiskHost, ForceOpenCreatesTheImageOfTheSettingsType) {
    for (bool fat32 : {true, false}) {
        std::remove(path.c_str());
        ZocSettings::Instance().vDisk.forceFat32 = fat32;
        ASSERT_TRUE(DiskImage::ForceOpen(path, 33));
        EXPECT_TRUE(DiskImage::IsOpened());
        EXPECT_EQ(ZocFatFsDiskIo::s_instance.mFatFs.fs_type, fat32 ? FS_FAT32 : FS_FAT16);
        EXPECT_TRUE(ZocVirtualDisk::Host::DiskImage::ForceOpen(path, 33)); // already open
        DiskImage::Close();
        EXPECT_FALSE(DiskImage::IsOpened());
        EXPECT_EQ(std::filesystem::file_size(path), 34603008u);
        EXPECT_EQ(ReadHostFile(path)[446 + 4], fat32 ? 0x0C : 0x06);
        std::string report;
        EXPECT_TRUE(FsckClean(path, 63, &report)) << report;
        bool labelFailed = true;
        EXPECT_TRUE(DiskImage::OpenAndVerify(path, labelFailed)); // reopens without re-creating
        EXPECT_FALSE(labelFailed);
        DiskImage::Close();
    }
}

TEST_F(VirtualDiskHost, ForceOpenMovesAForeignImageAsideInsteadOfDestroyingIt) {
    // A volume the target relabelled, holding a file of the user's.
    ASSERT_EQ(CreateImage(path, 33, FM_FAT32), FR_OK);
    {
        Mounted m(path);
        ASSERT_EQ(PutFile("/precious.txt", RandomBytes(5000, 1)), FR_OK);
        ASSERT_EQ(f_setlabel("ZOT VDISK"), FR_OK); // differs only in spacing
    }
    std::vector<uint8_t> before = ReadHostFile(path);
    AppTestLog log;
    ASSERT_TRUE(DiskImage::ForceOpen(path, 33));
    EXPECT_TRUE(log.Contains("Unexpected label 'ZOT VDISK', expected 'ZOT-VDISK'")) << log.Since();
    std::string aside = DiskImage::LastMovedAside();
    ASSERT_FALSE(aside.empty());
    EXPECT_EQ(aside.rfind(path + ".bak-", 0), 0u) << aside;
    EXPECT_TRUE(log.Contains("was moved to " + aside)) << log.Since();
    EXPECT_EQ(ReadHostFile(aside), before);
    FILINFO fi;
    EXPECT_EQ(f_stat("/precious.txt", &fi), FR_NO_FILE); // the new image is empty
}

TEST_F(VirtualDiskHost, BlockDeviceRangeAndStreamFailures) {
    ASSERT_TRUE(DiskImage::ForceOpen(path, 33));
    using namespace ZocFatFsDiskIo;
    uint8_t sector[512];
    uint32_t count = 0;
    ASSERT_EQ(disk_ioctl(0, GET_SECTOR_COUNT, &count), RES_OK);
    EXPECT_EQ(count, 33u * 2048);
    EXPECT_EQ(disk_read(0, sector, count - 1, 1), RES_OK);
    EXPECT_EQ(disk_read(0, sector, count, 1), RES_ERROR);
    EXPECT_EQ(disk_read(0, sector, 0xFFFFFFFF, 2), RES_ERROR); // no wrap-around
    EXPECT_EQ(disk_ioctl(0, 9, nullptr), RES_PARERR);
    // The file shrinks under the device: a read past its end is an error,
    // not missing data passed off as success; so is any access once the
    // stream is gone.
    ASSERT_EQ(truncate(path.c_str(), 1 << 20), 0);
    EXPECT_EQ(disk_read(0, sector, 4096, 1), RES_ERROR);
    ZocFatFsDiskIo::s_instance.CloseStream();
    EXPECT_EQ(disk_write(0, sector, 10, 1), RES_ERROR);
    EXPECT_EQ(disk_read(0, sector, 10, 1), RES_ERROR);
}

TEST(FatTime, PacksUtcFields) {
    uint32_t t = ZocFatFsDiskIo::PackFatTime(2026, 12, 9, 12, 34, 56);
    EXPECT_EQ(t & 0x1F, 28u);
    EXPECT_EQ((t >> 5) & 0x3F, 34u);
    EXPECT_EQ((t >> 11) & 0x1F, 12u);
    EXPECT_EQ((t >> 16) & 0x1F, 9u);
    EXPECT_EQ((t >> 21) & 0x0F, 12u);
    EXPECT_EQ(t >> 25, 46u);
}

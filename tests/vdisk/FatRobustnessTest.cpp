// Damaged and hostile volumes: chain loops end in an error, names from the
// image never carry path separators, and device failures reach the caller.
#include "FatTestUtil.h"
#include "vdisk/fatfs/ZotFatDirectory.h"
#include "vdisk/fatfs/ZotFatTable.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace FatTestUtil;

namespace {

class FatRobustness : public testing::Test {
protected:
    void SetUp() override {
        image = tmp / "v.img";
        ASSERT_EQ(CreateImage(image, 33, FM_FAT), FR_OK); // FAT16, 4 KiB clusters
        mounted = std::make_unique<Mounted>(image);
        ASSERT_EQ(mounted->Result(), FR_OK);
        fs = &mounted->Fs();
    }
    TempDir tmp;
    std::string image;
    std::unique_ptr<Mounted> mounted;
    FATFS* fs = nullptr;
};

} // namespace

TEST_F(FatRobustness, LoopingFileChainEndsInAnError) {
    ASSERT_EQ(PutFile("/loop.bin", RandomBytes(3 * 4096, 1)), FR_OK);
    FIL f;
    ASSERT_EQ(f_open(&f, "/loop.bin", FA_READ), FR_OK);
    uint32_t c1 = f.sclust, c3 = ZotFatTable::Get(fs, ZotFatTable::Get(fs, c1));
    ASSERT_TRUE(ZotFatTable::Put(fs, c3, c1)); // third cluster links back to the first
    uint8_t* sector = fs->cache.GetForWrite(f.dir_sect);
    ZotFatDirectory::Store32(sector + f.dir_ofs + 28, 0xFFFFF000); // claims almost 4 GiB
    ASSERT_TRUE(fs->cache.Flush());
    f_close(&f);

    ASSERT_EQ(f_open(&f, "/loop.bin", FA_READ), FR_OK);
    std::vector<uint8_t> buf(1 << 20);
    FRESULT res = FR_OK;
    uint64_t total = 0;
    for (int i = 0; i < 5000 && res == FR_OK; ++i) {
        uint32_t n = 0;
        res = f_read(&f, buf.data(), uint32_t(buf.size()), &n);
        total += n;
    }
    EXPECT_EQ(res, FR_INT_ERR);
    EXPECT_LE(total, uint64_t(fs->n_fatent) * 4096); // never more than the volume holds
    f_close(&f);
}

TEST_F(FatRobustness, LoopingFolderChainEndsAndRefusesNewEntries) {
    ASSERT_EQ(f_mkdir("/d"), FR_OK);
    // 2 dot entries + 254 files fill two 128-entry clusters exactly.
    for (int i = 0; i < 254; ++i)
        ASSERT_EQ(PutFile("/d/F" + std::to_string(i), {}), FR_OK) << i;
    FILINFO fi;
    FF_DIR d;
    ASSERT_EQ(f_opendir(&d, "/d"), FR_OK);
    uint32_t c1 = d.sclust, c2 = ZotFatTable::Get(fs, c1);
    ASSERT_TRUE(ZotFatTable::IsValidCluster(fs, c2));
    ASSERT_TRUE(ZotFatTable::Put(fs, c2, c1));
    ASSERT_TRUE(fs->cache.Flush());

    size_t listed = 0;
    FRESULT res;
    while ((res = f_readdir(&d, &fi)) == FR_OK && fi.fname[0])
        ++listed;
    EXPECT_EQ(res, FR_OK);
    EXPECT_LE(listed, size_t(ZotFatDirectory::kMaxEntries));
    EXPECT_EQ(f_mkdir("/d/more"), FR_DENIED);
}

TEST_F(FatRobustness, HostileNamesAreReportedAsSafeShortNames) {
    ASSERT_EQ(PutFile("/placeholder name.txt", RandomBytes(10, 2)), FR_OK);
    ASSERT_EQ(PutFile("/X.TXT", RandomBytes(11, 3)), FR_OK);
    // Rewrite the long name to "../" and the short name to "/" + "X.TXT"[1..].
    FF_DIR d;
    d.fs = fs;
    d.sclust = 0;
    ASSERT_EQ(ZotFatDirectory::Seek(&d, 0), FR_OK);
    bool patchedLong = false, patchedShort = false;
    for (;;) {
        const uint8_t* e = ZotFatDirectory::Entry(&d);
        if (e[0] == 0)
            break;
        if (e[11] == 0x0F && !patchedLong) {
            uint8_t* w = ZotFatDirectory::EntryForWrite(&d);
            w[1] = '.', w[3] = '.', w[5] = '/';
            patchedLong = true;
        } else if (std::memcmp(e, "X       TXT", 11) == 0) {
            ZotFatDirectory::EntryForWrite(&d)[0] = '/';
            patchedShort = true;
        }
        if (ZotFatDirectory::Next(&d, false) != FR_OK)
            break;
    }
    ASSERT_TRUE(patchedLong && patchedShort);
    ASSERT_TRUE(fs->cache.Flush());

    auto names = ListNames("/");
    EXPECT_EQ(names, (std::vector<std::string>{"PLACEH~1.TXT", "_.TXT"}));
    std::vector<uint8_t> data;
    EXPECT_EQ(GetFile("/PLACEH~1.TXT", data), FR_OK);
    EXPECT_EQ(data, RandomBytes(10, 2));
    EXPECT_EQ(GetFile("/_.TXT", data), FR_OK); // the reported name opens the file
    EXPECT_EQ(data, RandomBytes(11, 3));
}

namespace {
// A device that fails every transfer after the mount.
bool g_fail = false;
const FatMedia* g_real = nullptr;
DRESULT FailingRead(uint8_t d, uint8_t* b, uint32_t s, uint32_t c) {
    return g_fail ? RES_ERROR : g_real->read(d, b, s, c);
}
DRESULT FailingWrite(uint8_t d, const uint8_t* b, uint32_t s, uint32_t c) {
    return g_fail ? RES_ERROR : g_real->write(d, b, s, c);
}
} // namespace

TEST_F(FatRobustness, DeviceFailuresAreReportedNotSwallowed) {
    ASSERT_EQ(PutFile("/a.bin", RandomBytes(100000, 4)), FR_OK);
    g_real = ZotFatFileMedia::Media();
    FatMedia failing = *g_real;
    failing.read = FailingRead;
    failing.write = FailingWrite;
    f_setmedia(&failing);
    g_fail = true;
    std::vector<uint8_t> data;
    EXPECT_EQ(GetFile("/a.bin", data), FR_DISK_ERR);
    EXPECT_EQ(PutFile("/b.bin", RandomBytes(100000, 5)), FR_DISK_ERR);
    EXPECT_EQ(f_mkdir("/c"), FR_DISK_ERR);
    g_fail = false;
    f_setmedia(g_real);
}

// Interoperability with the Linux FAT tools: what our engine writes must be
// read back identically by mtools and pass fsck.fat, and what mtools writes
// into images made by mkfs.fat must be read identically by our engine.
#include "FatTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace FatTestUtil;

namespace {

struct TypeCase {
    const char* name;
    uint32_t mib;
    uint8_t fmt;
    uint8_t fsType;
    uint8_t partitionType;
    uint16_t clusterSectors;
};

const TypeCase kTypes[] = {
    {"Fat12", 1, FM_FAT, FS_FAT12, 0x01, 1},
    {"Fat16", 33, FM_FAT, FS_FAT16, 0x06, 8},
    {"Fat32", 33, FM_FAT32, FS_FAT32, 0x0C, 1},
};

// Long, non-ASCII, lossy and alias-needing names, an empty file and files
// spanning many clusters, in nested folders.
std::map<std::string, std::vector<uint8_t>> SampleFiles() {
    std::map<std::string, std::vector<uint8_t>> files;
    files["/Documents and Settings/A very long file name that keeps going and going.bin"] =
        RandomBytes(200000, 1);
    files["/Documents and Settings/Sub/Deeper/leaf.dat"] = RandomBytes(4097, 2);
    files["/Grüße – ünïcödé ✓.txt"] = RandomBytes(10, 3);
    files["/日本語のファイル.txt"] = RandomBytes(513, 4);
    files["/empty.txt"] = {};
    files["/README.TXT"] = RandomBytes(1, 6);
    files["/lower.txt"] = RandomBytes(2, 7);
    files["/MiXed.Txt"] = RandomBytes(3, 8);
    files["/a+b,c;d=e.txt"] /* mtools reads [] as a pattern */ = RandomBytes(4, 9);
    files["/.hidden"] = RandomBytes(5, 10);
    for (int i = 1; i <= 12; ++i)
        files["/Long name number " + std::to_string(i) + ".txt"] = RandomBytes(100 + i, 20 + i);
    return files;
}

void MakeParents(const std::string& path) {
    for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
        FRESULT r = f_mkdir(path.substr(0, at).c_str());
        ASSERT_TRUE(r == FR_OK || r == FR_EXIST) << path << " " << r;
    }
}

void ExpectMtoolsReads(const std::string& image, uint32_t sector, const TempDir& tmp,
                       const std::map<std::string, std::vector<uint8_t>>& files) {
    for (const auto& [path, data] : files) {
        std::string host = tmp / "out.bin", report;
        ASSERT_EQ(
            Shell("mcopy -n -o " + MtoolsImage(image, sector) + " " + Quote("::" + path) + " " + Quote(host),
                  &report),
            0)
            << path << ": " << report;
        EXPECT_EQ(ReadHostFile(host), data) << path;
    }
}

class FatTypes : public testing::TestWithParam<TypeCase> {};

} // namespace

TEST_P(FatTypes, FormatMatchesTheLayoutAndPassesFsck) {
    const TypeCase& t = GetParam();
    TempDir tmp;
    std::string image = tmp / "v.img";
    ASSERT_EQ(CreateImage(image, t.mib, t.fmt), FR_OK);
    std::vector<uint8_t> bytes = ReadHostFile(image);
    ASSERT_EQ(bytes.size(), size_t(t.mib) << 20);
    const uint8_t* pe = bytes.data() + 446;
    EXPECT_EQ(pe[4], t.partitionType);
    EXPECT_EQ(pe[8] | pe[9] << 8 | pe[10] << 16 | pe[11] << 24, 63);
    EXPECT_EQ(pe[12] | pe[13] << 8 | pe[14] << 16 | pe[15] << 24, int(t.mib * 2048 - 63));
    const uint8_t* boot = bytes.data() + 63 * 512;
    EXPECT_EQ(boot[13], t.clusterSectors);
    EXPECT_EQ(boot[16], 1); // one FAT
    if (t.fsType != FS_FAT32) {
        EXPECT_EQ(boot[17] | boot[18] << 8, 512);
    }

    std::string report;
    EXPECT_TRUE(FsckClean(image, 63, &report)) << report;
    ASSERT_EQ(Shell("mdir " + MtoolsImage(image, 63) + " ::/", &report), 0) << report;
    EXPECT_NE(report.find("Volume in drive : is ZOT-VDISK"), std::string::npos) << report;

    Mounted m(image);
    ASSERT_EQ(m.Result(), FR_OK);
    EXPECT_EQ(m.Fs().fs_type, t.fsType);
    char label[40];
    ASSERT_EQ(f_getlabel("/", label, nullptr), FR_OK);
    EXPECT_STREQ(label, "ZOT-VDISK");
}

TEST_P(FatTypes, OurWritesAndDeletesReadBackByMtoolsAndPassFsck) {
    const TypeCase& t = GetParam();
    TempDir tmp;
    std::string image = tmp / "v.img";
    ASSERT_EQ(CreateImage(image, t.mib, t.fmt), FR_OK);
    auto files = SampleFiles();
    {
        Mounted m(image);
        ASSERT_EQ(m.Result(), FR_OK);
        for (const auto& [path, data] : files) {
            MakeParents(path);
            ASSERT_EQ(PutFile(path, data), FR_OK) << path;
        }
        // Overwrite one file with a shorter one, then delete a few files and a folder tree.
        files["/lower.txt"] = RandomBytes(70000, 99);
        ASSERT_EQ(PutFile("/lower.txt", files["/lower.txt"]), FR_OK);
        EXPECT_EQ(f_unlink("/Documents and Settings/Sub"), FR_DENIED); // not empty
        for (const char* gone :
             {"/Documents and Settings/Sub/Deeper/leaf.dat", "/Documents and Settings/Sub/Deeper",
              "/Documents and Settings/Sub", "/Long name number 3.txt", "/MiXed.Txt"}) {
            ASSERT_EQ(f_unlink(gone), FR_OK) << gone;
            files.erase(gone);
        }
        // Characters beyond the BMP (surrogate pairs on disk): mtools 4.0 drops
        // them, so only our own engine checks the round trip.
        ASSERT_EQ(PutFile("/emoji 😀 name.txt", RandomBytes(512, 5)), FR_OK);
        auto names = ListNames("/");
        EXPECT_NE(std::find(names.begin(), names.end(), "emoji 😀 name.txt"), names.end());
        ASSERT_EQ(f_unlink("/EMOJI 😀 NAME.TXT"), FR_OK);
        // A new name reuses the freed slots and must still get a unique alias.
        files["/Long name number 13.txt"] = RandomBytes(4000, 77);
        ASSERT_EQ(PutFile("/Long name number 13.txt", files["/Long name number 13.txt"]), FR_OK);
    }
    std::string report;
    EXPECT_TRUE(FsckClean(image, 63, &report)) << report;
    ExpectMtoolsReads(image, 63, tmp, files);
    ASSERT_EQ(Shell("mdir -a " + MtoolsImage(image, 63) + " ::/", &report), 0);
    EXPECT_NE(report.find("Grüße – ünïcödé ✓.txt"), std::string::npos) << report;
    EXPECT_EQ(report.find("MiXed.Txt"), std::string::npos) << report;
}

TEST_P(FatTypes, NearlyFullVolumeGivesAShortWriteAndStaysConsistent) {
    const TypeCase& t = GetParam();
    TempDir tmp;
    std::string image = tmp / "v.img";
    ASSERT_EQ(CreateImage(image, t.mib, t.fmt), FR_OK);
    std::vector<uint8_t> data;
    uint32_t freeBefore = 0, written = 0;
    {
        Mounted m(image);
        FATFS* fs;
        ASSERT_EQ(f_getfree("/", &freeBefore, &fs), FR_OK);
        uint64_t capacity = uint64_t(freeBefore) * fs->csize * 512;
        data = RandomBytes(size_t(capacity + 5000), 5);
        ASSERT_EQ(PutFile("/fill.bin", data, &written), FR_OK);
        EXPECT_EQ(written, capacity);
        uint32_t freeNow = 1;
        ASSERT_EQ(f_getfree("/", &freeNow, &fs), FR_OK);
        EXPECT_EQ(freeNow, 0u);
        EXPECT_EQ(f_mkdir("/no room"), FR_DENIED);
    }
    data.resize(written);
    std::string report;
    EXPECT_TRUE(FsckClean(image, 63, &report)) << report;
    ExpectMtoolsReads(image, 63, tmp, {{"/fill.bin", data}});
    {
        Mounted m(image);
        ASSERT_EQ(f_unlink("/fill.bin"), FR_OK);
        uint32_t freeAfter = 0;
        FATFS* fs;
        ASSERT_EQ(f_getfree("/", &freeAfter, &fs), FR_OK);
        EXPECT_EQ(freeAfter, freeBefore);
    }
    EXPECT_TRUE(FsckClean(image, 63, &report)) << report;
}

INSTANTIATE_TEST_SUITE_P(Fat, FatTypes, testing::ValuesIn(kTypes),
                         [](const testing::TestParamInfo<TypeCase>& info) { return info.param.name; });

// Images made by mkfs.fat and filled by mtools.
struct ForeignCase {
    const char* name;
    const char* mkfsArgs;
    const char* kib;
    uint8_t fsType;
};

class ForeignImages : public testing::TestWithParam<ForeignCase> {};

TEST_P(ForeignImages, MtoolsFilesReadIdenticallyAndOurChangesStayClean) {
    const ForeignCase& c = GetParam();
    TempDir tmp;
    std::string image = tmp / "m.img", report;
    ASSERT_EQ(Shell(std::string("mkfs.fat ") + c.mkfsArgs + " -n FOREIGN -C " + Quote(image) + " " + c.kib,
                    &report),
              0)
        << report;
    std::map<std::string, std::vector<uint8_t>> files = {
        {"/Folder with a long name/nested file with long name.bin", RandomBytes(150000, 41)},
        {"/Folder with a long name/x.txt", RandomBytes(7, 42)},
        {"/Ünïcödé näme.txt", RandomBytes(1000, 43)},
        {"/empty", {}},
        {"/SHORT.TXT", RandomBytes(600, 44)},
    };
    ASSERT_EQ(Shell("mmd " + MtoolsImage(image, 0) + " " + Quote("::/Folder with a long name"), &report), 0)
        << report;
    for (const auto& [path, data] : files) {
        std::string host = tmp / "in.bin";
        WriteHostFile(host, data);
        ASSERT_EQ(
            Shell("mcopy " + MtoolsImage(image, 0) + " " + Quote(host) + " " + Quote("::" + path), &report),
            0)
            << report;
    }
    {
        Mounted m(image);
        ASSERT_EQ(m.Result(), FR_OK);
        EXPECT_EQ(m.Fs().fs_type, c.fsType);
        char label[40];
        ASSERT_EQ(f_getlabel("/", label, nullptr), FR_OK);
        EXPECT_STREQ(label, "FOREIGN");
        for (const auto& [path, data] : files) {
            std::vector<uint8_t> got;
            ASSERT_EQ(GetFile(path, got), FR_OK) << path;
            EXPECT_EQ(got, data) << path;
        }
        auto names = ListNames("/Folder with a long name");
        EXPECT_EQ(names, (std::vector<std::string>{"nested file with long name.bin", "x.txt"}));
        // Our changes to a foreign image.
        ASSERT_EQ(f_unlink("/Folder with a long name/x.txt"), FR_OK);
        files.erase("/Folder with a long name/x.txt");
        files["/Folder with a long name/ours, with a long name.bin"] = RandomBytes(30000, 45);
        ASSERT_EQ(PutFile("/Folder with a long name/ours, with a long name.bin",
                          files["/Folder with a long name/ours, with a long name.bin"]),
                  FR_OK);
        ASSERT_EQ(f_mkdir("/new folder"), FR_OK);
    }
    EXPECT_TRUE(FsckClean(image, 0, &report)) << report;
    ExpectMtoolsReads(image, 0, tmp, files);
}

const ForeignCase kForeign[] = {
    {"Fat12", "-F 12 -S 512 -s 4 -r 224", "2048", FS_FAT12},
    {"Fat16", "-F 16 -S 512 -s 4 -f 2", "20000", FS_FAT16},
    {"Fat32", "-F 32 -S 512 -s 1 -f 2", "40000", FS_FAT32},
};

INSTANTIATE_TEST_SUITE_P(Fat, ForeignImages, testing::ValuesIn(kForeign),
                         [](const testing::TestParamInfo<ForeignCase>& info) { return info.param.name; });

// The zt-vdisk command-line tool: exit codes, messages, and that it never
// replaces an existing image unasked.
#include "FatTestUtil.h"

#include <gtest/gtest.h>

using namespace FatTestUtil;

namespace {
std::string Tool(const std::string& args) {
    return std::string(ZT_VDISK_TOOL) + " " + args;
}
} // namespace

TEST(ZtVdiskTool, CreatePutGetListRemove) {
    TempDir tmp;
    std::string img = Quote(tmp / "v.img"), out;
    ASSERT_EQ(Shell(Tool("create " + img + " --size 8 --fat16"), &out), 0) << out;
    ASSERT_EQ(Shell(Tool("info " + img), &out), 0) << out;
    EXPECT_NE(out.find("type: FAT16"), std::string::npos) << out;
    EXPECT_NE(out.find("label: ZOT-VDISK"), std::string::npos) << out;

    auto data = RandomBytes(300000, 9);
    WriteHostFile(tmp / "in.bin", data);
    ASSERT_EQ(Shell(Tool("mkdir " + img + " '/My Folder'"), &out), 0) << out;
    ASSERT_EQ(Shell(Tool("put " + img + " " + Quote(tmp / "in.bin") + " '/My Folder/'"), &out), 0) << out;
    ASSERT_EQ(Shell(Tool("ls " + img + " '/My Folder'"), &out), 0) << out;
    EXPECT_NE(out.find("300000 in.bin"), std::string::npos) << out;
    ASSERT_EQ(Shell(Tool("get " + img + " '/My Folder/in.bin' " + Quote(tmp / "back.bin")), &out), 0) << out;
    EXPECT_EQ(ReadHostFile(tmp / "back.bin"), data);

    EXPECT_EQ(Shell(Tool("rm " + img + " '/My Folder'"), &out), 1); // not empty
    EXPECT_NE(out.find("access denied"), std::string::npos) << out;
    EXPECT_EQ(Shell(Tool("rm " + img + " '/My Folder/in.bin'"), &out), 0) << out;
    EXPECT_EQ(Shell(Tool("rm " + img + " '/My Folder'"), &out), 0) << out;
    EXPECT_EQ(Shell(Tool("get " + img + " /missing " + Quote(tmp / "x")), &out), 1);
    EXPECT_NE(out.find("no such file"), std::string::npos) << out;
    EXPECT_EQ(Shell(Tool("frobnicate " + img), &out), 2);
}

TEST(ZtVdiskTool, CreateKeepsAnExistingFileAndPutCleansUpWhenFull) {
    TempDir tmp;
    std::string img = Quote(tmp / "v.img"), out;
    WriteHostFile(tmp / "v.img", {1, 2, 3});
    EXPECT_EQ(Shell(Tool("create " + img), &out), 1);
    EXPECT_EQ(ReadHostFile(tmp / "v.img"), (std::vector<uint8_t>{1, 2, 3}));
    ASSERT_EQ(Shell(Tool("create " + img + " --size 1 --force"), &out), 0) << out;
    EXPECT_EQ(Shell(Tool("create " + Quote(tmp / "w.img") + " --size 1 --fat32"), &out),
              1); // too small for FAT32

    WriteHostFile(tmp / "big.bin", RandomBytes(2 << 20, 1));
    EXPECT_EQ(Shell(Tool("put " + img + " " + Quote(tmp / "big.bin") + " /big.bin"), &out), 1);
    EXPECT_NE(out.find("volume is full"), std::string::npos) << out;
    ASSERT_EQ(Shell(Tool("ls " + img), &out), 0);
    EXPECT_EQ(out.find("big.bin"), std::string::npos) << out;
    EXPECT_TRUE(FsckClean(tmp / "v.img", 63, &out)) << out;
}

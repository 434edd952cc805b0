#include "device/transport/ZocToviDeviceInfo.h"
#include "app/ZocSettings.h"
#include "device/transport/ZocToviUtils.h"
#include "platform/FakeDeviceLists.h"
#include "platform/linux/ZomDeviceUtils.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using Info = ZocToviDeviceInfo;

TEST(ZocToviDiscovery, HashesTheUidWithFnv1) {
    uint8_t zeros[8] = {};
    // FNV-1 of eight zero bytes: the offset basis multiplied eight times.
    uint32_t expected = 0x811C9DC5u;
    for (int i = 0; i < 8; ++i)
        expected *= 16777619u;
    EXPECT_EQ(ZocToviUtils::HashUid(zeros), expected);
    uint8_t uid[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_NE(ZocToviUtils::HashUid(uid), expected);
}

TEST(ZocToviDiscovery, PairsPortsWithCamerasByHash) {
    Info::ToviInfo a{0x1A2B3C4D, "Tovi 1A2B3C4D17", "", "", "1A2B3C4D17"};
    Info::ToviInfo b{0x55667788, "Tovi 5566778812", "", "", "5566778812"};
    struct Case {
        const char* what;
        std::vector<Info::CommInfo> ports;
        Info::ToviInfoList records;
        std::vector<std::string> pairedPorts;
    } cases[] = {
        {"one and one pair whatever the hash", {{"/dev/p1", "", 0}}, {a}, {"/dev/p1"}},
        {"two by hash",
         {{"/dev/p2", "", 0x55667788}, {"/dev/p1", "", 0x1A2B3C4D}},
         {a, b},
         {"/dev/p2", "/dev/p1"}},
        {"unknown hash pairs with nothing",
         {{"/dev/p1", "", 0}, {"/dev/p2", "", 0x55667788}},
         {a, b},
         {"/dev/p2"}},
        {"no camera, no Tovi", {{"/dev/p1", "", 0x1A2B3C4D}}, {}, {}},
    };
    for (const Case& c : cases) {
        auto paired = Info::FindToviBoards(c.ports, c.records);
        std::vector<std::string> ports;
        for (const auto& tovi : paired)
            ports.push_back(tovi.commPort);
        EXPECT_EQ(ports, c.pairedPorts) << c.what;
    }
}

TEST(ZocToviDiscovery, SelectionFollowsTheChosenId) {
    Info::ToviInfoList two{{1, "Tovi A", "/dev/a", "", "AAAA"}, {2, "Tovi B", "/dev/b", "", "BBBB"}};
    auto& chosen = ZocSettings::Instance().device.tovi.id;
    std::string saved = chosen;
    std::string picked;
    auto pick = [&](const Info::ToviInfo& t) { picked = t.id; };
    chosen = "BBBB";
    EXPECT_TRUE(Info::GetSelectedTovi(&two, pick));
    EXPECT_EQ(picked, "BBBB");
    chosen = "CCCC";
    EXPECT_FALSE(Info::GetSelectedTovi(&two, pick)) << "several and none chosen: nothing";
    Info::ToviInfoList one{two[0]};
    EXPECT_TRUE(Info::GetSelectedTovi(&one, pick)) << "a single Tovi is selected whatever the setting";
    Info::ToviInfoList none;
    EXPECT_FALSE(Info::GetSelectedTovi(&none, pick));
    chosen = saved;
}

namespace {
// A fake /dev and sysfs with one Tovi bridge whose tty is a plain file, so
// that its probe fails.
class ScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("zt-scan-" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::path device = root / "sys/bus/usb/devices/1-1";
        fs::create_directories(device / "1-1:1.0/ttyUSB0");
        std::ofstream(device / "idVendor") << "1a86\n";
        std::ofstream(device / "idProduct") << "7523\n";
        fs::create_directories(root / "dev");
        ZomDeviceUtils::SetRoots((root / "sys").string(), (root / "dev").string());
        ZomDeviceUtils::SetUseSimulated(false);
        Info::ResetCaches();
        Info::Initialize();
    }
    void TearDown() override {
        ZomDeviceUtils::SetRoots("/sys", "/dev");
        ZomDeviceUtils::SetUseSimulated(true);
        fs::remove_all(root);
        Info::ResetCaches();
    }
    void PlugSerial() { std::ofstream(root / "dev/ttyUSB0"); }
    fs::path root;
    FakeDeviceLists lists;
};
} // namespace

TEST_F(ScanTest, StatusFollowsWhatIsPlugged) {
    Info::ScanDeviceProc();
    EXPECT_EQ(Info::GetStatus(), Info::NoTovi);

    PlugSerial();
    Info::ScanDeviceProc();
    EXPECT_EQ(Info::GetStatus(), Info::NoCamera) << "serial port but no camera";

    // Camera and audio of one Tovi: the port pairs although its probe fails.
    lists.cameras->names = {"Tovi (1A2B3C4D17)"};
    lists.audio->names = {"USB Audio Tovi (1A2B3C4D17)"};
    Info::ScanDeviceProc();
    ASSERT_EQ(Info::GetStatus(), Info::OneTovi);
    auto list = Info::GetToviInfoList();
    ASSERT_EQ(list->size(), 1u);
    EXPECT_EQ((*list)[0].id, "1A2B3C4D17");
    EXPECT_EQ((*list)[0].idHash, 0x1A2B3C4Du);
    EXPECT_EQ((*list)[0].name, "Tovi 1A2B3C4D17");
    EXPECT_EQ((*list)[0].commPort, (root / "dev/ttyUSB0").string());

    // A camera without its audio input is no Tovi.
    lists.audio->names.clear();
    Info::ScanDeviceProc();
    EXPECT_EQ(Info::GetToviInfoList()->size(), 0u);
    EXPECT_EQ(Info::GetStatus(), Info::NoTovi);
}

TEST_F(ScanTest, ReducesNamesToSortedIds) {
    auto ids = Info::ReduceToIds({"Tovi (BBBB)", "x Tovi (AAAA) y", "(nothing"});
    std::vector<std::string> expected{"", "AAAA", "BBBB"};
    EXPECT_EQ(ids, expected);
    EXPECT_TRUE(Info::IsCommExist((root / "dev/ttyUSB0").string()) == fs::exists(root / "dev/ttyUSB0"));
}

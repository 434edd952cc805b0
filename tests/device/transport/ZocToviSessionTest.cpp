#include "device/transport/ZocAutoConnect.h"
#include "device/transport/ZocToviDevice.h"
#include "device/transport/ZocToviHidPort.h"
#include "sim/ZotSimHid.h"
#include "ui/ZocModalDialog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(ZocToviSession, FirmwareResolutionAndPacingRules) {
    struct Av {
        const char* id;
        int major, minor;
        bool edid;
    } avs[] = {
        {"1A2B3C4D17", 1, 7, true},   {"1A2B3C4D16", 1, 6, false}, {"1A2B3C4D20", 2, 0, true},
        {"1A2B3C4D0z", 0, 35, false}, {"1A2B3C4D1", 0, 0, false},  {"1A2B3C4D1?", 1, 0, false},
    };
    for (const Av& av : avs) {
        ZocVersion version = ZocToviDevice::GetAvFirmwareVersion(av.id);
        EXPECT_EQ(version.major, av.major) << av.id;
        EXPECT_EQ(version.minor, av.minor) << av.id;
        EXPECT_EQ(ZocToviDevice::IsEdidSupported(version), av.edid) << av.id;
    }

    struct Code {
        int width, height;
        uint8_t code;
    } codes[] = {{4096, 2160, 1}, {1920, 1080, 10}, {1280, 720, 11},  {1280, 960, 12}, {1024, 768, 13},
                 {800, 600, 14},  {640, 480, 15},   {1280, 1024, 16}, {1366, 768, 0},  {0, 0, 0}};
    for (const Code& c : codes)
        EXPECT_EQ(ZocToviHidPort::GetResolutionCode(c.width, c.height), c.code) << c.width << "x" << c.height;

    // The capture loop never spins and never divides by zero.
    struct Rate {
        int rate, ms;
    } rates[] = {{60, 2}, {30, 5}, {150, 1}, {151, 1}, {1000, 1}, {0, 5}, {-5, 5}, {1, 150}};
    for (const Rate& r : rates)
        EXPECT_EQ(ZocToviDevice::GetCaptureSleepMs(r.rate), r.ms) << r.rate;
}

namespace {
// A registry folder with one simulated Tovi entry whose HID endpoint is a
// ZotSimHid run by the test (the entry names this process, so it is live).
class ZocToviHidPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        mDir = fs::temp_directory_path() / ("zt-hid-" + std::to_string(getpid()));
        fs::create_directories(mDir / "devices");
        const char* old = std::getenv("ZT_SIM_REGISTRY");
        mOldRegistry = old ? old : "";
        setenv("ZT_SIM_REGISTRY", mDir.c_str(), 1);
        std::string socket = (mDir / "T.hid").string();
        std::string error;
        ASSERT_TRUE(mHid.Start(
            socket, [](uint8_t, bool) {}, error))
            << error;
        std::ofstream(mDir / "devices" / "1A2B3C4D17.json")
            << R"({"format":1,"id":"1A2B3C4D17","pid":)" << getpid()
            << R"(,"serial":"/dev/null","hid":{"socket":")" << socket
            << R"(","vendorId":13407,"productId":8496,"serial":"1A2B3C4D17"}})";
    }
    void TearDown() override {
        mHid.Stop();
        if (mOldRegistry.empty())
            unsetenv("ZT_SIM_REGISTRY");
        else
            setenv("ZT_SIM_REGISTRY", mOldRegistry.c_str(), 1);
        fs::remove_all(mDir);
    }
    fs::path mDir;
    std::string mOldRegistry;
    ZotSimHid mHid;
};
} // namespace

TEST_F(ZocToviHidPortTest, SetsTheEdidOfTheChosenTovi) {
    EXPECT_TRUE(ZocToviHidPort::SetVideoEdid("1A2B3C4D17", 1280, 1024));
    EXPECT_EQ(mHid.GetLastCode(), 16);
    // An empty id takes the first Tovi; an unknown size sends code 0.
    EXPECT_TRUE(ZocToviHidPort::SetVideoEdid("", 1366, 768));
    EXPECT_EQ(mHid.GetLastCode(), 0);
    // The id is matched inside the serial-number string.
    EXPECT_TRUE(ZocToviHidPort::SetVideoEdid("3C4D", 1920, 1080));
    EXPECT_EQ(mHid.GetLastCode(), 10);
    // No Tovi with that id: nothing is sent.
    EXPECT_FALSE(ZocToviHidPort::SetVideoEdid("FFFFFFFF17", 640, 480));
    EXPECT_EQ(mHid.GetLastCode(), 10);
}

TEST_F(ZocToviHidPortTest, AnEndpointThatIsGoneFailsCleanly) {
    mHid.Stop();
    EXPECT_FALSE(ZocToviHidPort::SetVideoEdid("1A2B3C4D17", 1920, 1080));
}

TEST(ZocAutoConnect, ConnectsOnceUntilTheToviIsUnplugged) {
    using List = ZocToviDeviceInfo::ToviInfoList;
    auto make = [](List list) { return std::make_shared<const List>(std::move(list)); };
    const ZocToviDeviceInfo::ToviInfo a{1, "Tovi A", "/dev/a", "", "AAAA"};
    const ZocToviDeviceInfo::ToviInfo b{2, "Tovi B", "/dev/b", "", "BBBB"};
    ZocAutoConnect::Reset();

    EXPECT_FALSE(ZocAutoConnect::Check(make({a}), false, false)) << "setting off";
    auto one = make({a});
    EXPECT_TRUE(ZocAutoConnect::Check(one, true, false));
    EXPECT_FALSE(ZocAutoConnect::Check(one, true, false)) << "the same scan result again";
    EXPECT_FALSE(ZocAutoConnect::Check(make({a, b}), true, false)) << "two Tovis";
    EXPECT_FALSE(ZocAutoConnect::Check(make({b}), true, true)) << "something is connected";

    // The user disconnects: not again while the Tovi stays plugged in.
    ZocAutoConnect::OnConnected("AAAA");
    ZocAutoConnect::OnDisconnected("AAAA", false);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(ZocAutoConnect::Check(make({a}), true, false)) << i;
    // A scan without it, then with it: plugged in again.
    EXPECT_FALSE(ZocAutoConnect::Check(make({}), true, false));
    EXPECT_TRUE(ZocAutoConnect::Check(make({a}), true, false));

    // Unplugged while connected: the first scan after the disconnect may
    // predate it and is not trusted; a fresh one connects.
    ZocAutoConnect::OnConnected("AAAA");
    ZocAutoConnect::OnDisconnected("AAAA", true);
    EXPECT_FALSE(ZocAutoConnect::Check(make({a}), true, false));
    EXPECT_TRUE(ZocAutoConnect::Check(make({a}), true, false));
    ZocAutoConnect::Reset();
}

TEST(ZocToviSession, ConnectWithoutAToviTellsTheOperatorAndStaysDown) {
    ZocUi::ModalDialog::Clear();
    ZocToviDevice::Initialize();
    EXPECT_FALSE(ZocToviDevice::Connect());
    EXPECT_EQ(ZocUi::ModalDialog::GetPendingCount(), 1u);
    EXPECT_FALSE(ZocToviDevice::IsConnected());
    EXPECT_FALSE(ZocToviDevice::IsAnyConnected());
    EXPECT_EQ(ZocToviDevice::GetConnectionState(), uint32_t(ZocToviDevice::Down));
    // Shutdown runs twice at exit.
    ZocToviDevice::Finalize();
    ZocToviDevice::Finalize();
    EXPECT_FALSE(ZocToviDevice::Connect()) << "after Finalize";
    ZocUi::ModalDialog::Clear();
}
